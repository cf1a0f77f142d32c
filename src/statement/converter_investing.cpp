// What investment statements add to the converter's scan: from the file's
// first <INVSTMTRS> or <SECLIST> on, each key is looked up in the fast
// table of tags.h and, when it is none of those, in the investment table;
// inside an investment statement every tag goes to the investment step.
// A bank statement never gets here, so its scan stays as it is.

#include "statement/converter.h"

namespace ledgerlift {
namespace {

bool IsStatementTag(Tag tag) {
  return tag == Tag::kStatement || tag == Tag::kCardStatement ||
         tag == Tag::kInvestmentStatement || tag == Tag::kSecurityList;
}

}  // namespace

Converter::State Converter::BeginInvesting(Tag tag) {
  const bool begins = !investing_;
  if (begins) {
    investing_ = true;
    listed_ = nullptr;  // the lists hold none of the investment keys
    investment_ = std::make_unique<InvestmentStep>(output_, encoding_, step_.accounts());
  }
  if (tag == Tag::kInvestmentStatement) {
    investment_->BeginStatement(true);
    step_.BeginStatement(false);
    step_.accounts().MarkInvestment();
  }
  return begins ? State::kInvesting : State::kSkip;
}

Converter::KeyRead Converter::OnKeyInvesting(const char* key, const char* at) {
  const TagMatch match = MatchTag(key);
  if (match.tag == Tag::kNone) {
    const InvestmentMatch found = MatchInvestmentTag(key);
    return {OnInvestmentTag(found.tag, at), found.size};
  }
  if (investment_->in_statement() && !IsStatementTag(match.tag)) {
    return {OnInvestmentTag(FromFastTag(match.tag), at), match.size};
  }
  value_to_investment_ = false;
  return {OnTagOutOfLine(match.tag, at), match.size};
}

Converter::State Converter::OnInvestmentTag(InvestmentTag tag, const char* at) {
  if (!investment_->OnTag(tag, read_before_ + static_cast<std::uint64_t>(at - block_))) {
    return State::kSkip;
  }
  value_to_investment_ = true;
  return State::kValue;
}

}  // namespace ledgerlift
