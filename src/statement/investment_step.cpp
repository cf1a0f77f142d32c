#include "statement/investment_step.h"

#include <optional>
#include <utility>

namespace ledgerlift {
namespace {

using T = InvestmentTag;

bool IsTrade(InvestmentTag tag) { return tag >= kFirstTrade && tag <= kLastTrade; }

}  // namespace

void InvestmentStep::BeginStatement(bool investment) {
  Close();
  in_statement_ = investment;
}

bool InvestmentStep::OnTag(InvestmentTag tag, std::uint64_t offset) {
  offset_ = offset;
  if (tag >= kFirstField) {
    if (!Takes(tag)) return false;
    field_ = tag;
    return true;
  }
  if (IsTrade(tag)) {
    if (in_statement_) Begin(Open::kTrade, tag);
    return false;
  }
  switch (tag) {
    case T::kCash:
      Begin(Open::kCash, T::kCash);
      break;
    case T::kSecurity:
      Begin(Open::kSecurity, T::kSecurity);
      break;
    case T::kTradeEnd:
      if (open_ == Open::kTrade) Close();
      break;
    case T::kCashEnd:
      if (open_ == Open::kCash) Close();
      break;
    case T::kSecurityEnd:
      if (open_ == Open::kSecurity) Close();
      break;
    case T::kListEnd:
      Close();
      break;
    case T::kPayee:
    case T::kPayeeEnd:
      in_payee_ = tag == T::kPayee;
      break;
    case T::kAccountId:
      if (open_ != Open::kNothing) break;  // a transfer's other account
      field_ = tag;
      return true;
    default:
      break;
  }
  return false;
}

// Which fields each kind of thing holds.
bool InvestmentStep::Takes(InvestmentTag field) const {
  switch (open_) {
    case Open::kTrade:
      return field == T::kTradeDate || field == T::kMemo ||
             (field >= T::kUniqueId && field <= T::kDenominator);
    case Open::kCash:
      return field == T::kPosted || field == T::kAmount || field == T::kName ||
             field == T::kMemo;
    case Open::kSecurity:
      return field == T::kUniqueId || field == T::kSecurityName || field == T::kTicker;
    case Open::kNothing:
      break;
  }
  return false;
}

void InvestmentStep::Capture(std::string_view value) {
  // Most values need none of ValueText's work, and are read where they stand.
  std::string as_read;
  const auto read = [&] {
    if (!NeedsValueText(value, TextEncoding::kAsRead)) return value;
    as_read = ValueText(value, TextEncoding::kAsRead);
    return std::string_view(as_read);
  };
  std::optional<Decimal>* number = nullptr;
  std::string* text = nullptr;
  switch (field_) {
    case T::kAccountId:
      accounts_.AccountId(ValueText(value, encoding_));
      return;
    case T::kTradeDate:
    case T::kPosted:
      if (std::optional<QifDate> date = PostedDate(read())) fields_.date = date;
      return;
    case T::kAmount:
      number = &fields_.amount;
      break;
    case T::kUnits:
      number = &fields_.units;
      break;
    case T::kUnitPrice:
      number = &fields_.unit_price;
      break;
    case T::kCommission:
      number = &fields_.commission;
      break;
    case T::kFees:
      number = &fields_.fees;
      break;
    case T::kTotal:
      number = &fields_.total;
      break;
    case T::kNumerator:
      number = &fields_.numerator;
      break;
    case T::kDenominator:
      number = &fields_.denominator;
      break;
    case T::kName:
      text = in_payee_ ? &fields_.payee_name : &fields_.name;
      break;
    case T::kMemo:
      text = &fields_.memo;
      break;
    case T::kUniqueId:
      text = &fields_.unique_id;
      break;
    case T::kIncomeType:
      text = &fields_.income_type;
      break;
    case T::kTransferAction:
      text = &fields_.transfer_action;
      break;
    case T::kBuyType:
      text = &fields_.buy_type;
      break;
    case T::kSellType:
      text = &fields_.sell_type;
      break;
    case T::kSecurityName:
      text = &security_name_;
      break;
    case T::kTicker:
      text = &ticker_;
      break;
    default:
      return;
  }
  if (number != nullptr) {
    if (std::optional<Decimal> parsed = Decimal::Parse(read()))
      *number = std::move(parsed);
    return;
  }
  if (!NeedsValueText(value, encoding_)) {
    text->assign(value);
    return;
  }
  std::string written = ValueText(value, encoding_);
  if (!written.empty()) *text = std::move(written);
}

void InvestmentStep::Begin(Open open, InvestmentTag kind) {
  Close();
  open_ = open;
  kind_ = kind;
  start_ = offset_;
  in_payee_ = false;
  statement_ = accounts_.current();
}

void InvestmentStep::Close() {
  const Open open = std::exchange(open_, Open::kNothing);
  if (open == Open::kSecurity) {
    CloseSecurity();
  } else if (open != Open::kNothing) {
    if (InvestmentRecord(kind_, fields_, record_)) {
      accounts_.Record(statement_, records_.Position());
      records_.Append(record_);
      ++record_count_;
    } else {
      CountFailure();
    }
  }
  fields_.Clear();
  security_name_.clear();
  ticker_.clear();
}

// What a transaction that gave no record lacked: a date, a security, a
// figure; or, holding them all, a kind a register has no action for.
void InvestmentStep::CountFailure() {
  if (failed_count_++ >= kFailedKept) return;
  std::string lacks;
  const auto lack = [&lacks](const char* what) {
    lacks += lacks.empty() ? what : std::string(", ") + what;
  };
  if (!HasAction(kind_, fields_)) {
    lack("a kind of transaction no register has an action for");
  } else {
    if (!fields_.date) lack("no date");
    if (kind_ != InvestmentTag::kCash && fields_.unique_id.empty()) lack("no security");
    if (lacks.empty()) lack("no total, units or price");
  }
  FailedTransaction failed;
  failed.offset = start_;
  failed.lacks = std::move(lacks);
  failed_.push_back(std::move(failed));
}

// A security is named by its SECNAME, else its TICKER.
void InvestmentStep::CloseSecurity() {
  if (fields_.unique_id.empty()) return;
  const std::string& name = security_name_.empty() ? ticker_ : security_name_;
  if (!name.empty()) securities_.Add(fields_.unique_id, name);
}

}  // namespace ledgerlift
