#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "statement/account_blocks.h"
#include "statement/investment_record.h"
#include "statement/investment_tags.h"
#include "statement/output_buffer.h"
#include "statement/security_names.h"
#include "statement/transaction.h"
#include "statement/values.h"

namespace ledgerlift {

// The investment step: follows an investment statement's trades and cash
// transactions, and a security list's securities, as their tags arrive,
// and turns each trade or cash transaction into a QIF investment record
// (InvestmentRecord) or a failed count.
//
// Inside an investment statement (from <INVSTMTRS> to the next statement),
// a trade begins at its aggregate's tag (<BUYSTOCK>, <INCOME>, ...) and a
// cash transaction at <STMTTRN> (in <INVBANKTRAN>); a security, anywhere,
// at <SECINFO>. Each ends at the first of: its own closing tag (any trade's
// for a trade; </STMTTRN>, </INVBANKTRAN> or </BANKTRANLIST> for cash;
// </SECINFO> for a security), the beginning of another, </INVTRANLIST>,
// </INVSTMTRS> or </SECLIST>, the next statement, or the end of the input.
// Lines do not matter. Of each field the last value that counts, counts
// (InvestmentFields). An ACCTID while nothing is open names the statement's
// account (AccountBlocks).
class InvestmentStep {
 public:
  InvestmentStep(OutputBuffer& records, TextEncoding encoding, AccountBlocks& accounts)
      : records_(records), encoding_(encoding), accounts_(accounts) {}

  // A statement begins: an investment statement, or a bank or card one.
  void BeginStatement(bool investment);
  bool in_statement() const { return in_statement_; }

  // Acts on a tag at `offset` in the input; true when the value after it is
  // to be captured (a field of what is open).
  bool OnTag(InvestmentTag tag, std::uint64_t offset);
  // The value of the field OnTag took last, not empty.
  void Capture(std::string_view value);

  void InputEnd() { Close(); }

  // Transactions that gave no record, and the first kFailedKept of them.
  std::uint64_t failed_count() const { return failed_count_; }
  const std::vector<FailedTransaction>& failed() const { return failed_; }
  std::uint64_t record_count() const { return record_count_; }
  const SecurityNames& securities() const { return securities_; }

 private:
  enum class Open { kNothing, kTrade, kCash, kSecurity };

  bool Takes(InvestmentTag field) const;
  void Begin(Open open, InvestmentTag kind);
  void Close();
  [[gnu::cold]] void CountFailure();
  void CloseSecurity();

  OutputBuffer& records_;
  const TextEncoding encoding_;
  AccountBlocks& accounts_;
  bool in_statement_ = false;
  Open open_ = Open::kNothing;
  InvestmentTag kind_ = InvestmentTag::kNone;   // of the open trade, or kCash
  InvestmentTag field_ = InvestmentTag::kNone;  // whose value Capture takes
  bool in_payee_ = false;
  std::uint64_t statement_ = 0;  // of the open transaction
  InvestmentFields fields_;
  std::string record_;                  // the record being written
  std::string security_name_, ticker_;  // of the open security
  SecurityNames securities_;
  std::uint64_t failed_count_ = 0;
  std::vector<FailedTransaction> failed_;
  std::uint64_t record_count_ = 0;
  std::uint64_t offset_ = 0;  // of the tag just read
  std::uint64_t start_ = 0;   // of the open transaction
};

}  // namespace ledgerlift
