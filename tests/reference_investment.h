#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "statement/investment_record.h"

namespace ledgerlift::testing_reference {

// The investment side of the plain reference reader, in the words of the
// README: from a file's first <INVSTMTRS> or <SECLIST> on, investment
// statements' trades and cash transactions and the security list's
// securities are read by their keys. The bank side hands it the keys it
// does not read itself, and the values of the fields it takes.
class InvestmentReader {
 public:
  // Where a record goes: the statement it belongs to, its text with each
  // security by its UNIQUEID (named by `Named` at the end).
  using AddRecord = std::function<void(std::size_t statement, std::string record)>;
  InvestmentReader(AddRecord add_record, std::function<void(std::string)> account)
      : add_record_(std::move(add_record)), account_(std::move(account)) {}

  bool investing() const { return investing_; }
  bool in_statement() const { return in_statement_; }

  // <INVSTMTRS>, <STMTRS> or <CCSTMTRS> as the file's `statement`th.
  void BeginStatement(bool investment, std::size_t statement);
  void BeginSecurityList() { investing_ = true; }

  // Acts on a key the investment side reads: one of its own, or a bank
  // key inside an investment statement. The field whose value it takes,
  // if any.
  std::optional<InvestmentTag> Key(const std::string& key);

  // A value of `field`: as the register writes text, and as read (numbers
  // and dates).
  void Take(InvestmentTag field, const std::string& text, const std::string& as_read);

  void End() { Close(); }

  // `records` with each security line's UNIQUEID replaced by its name.
  std::string Named(const std::string& records) const;

  std::uint64_t failed = 0;

 private:
  struct Open {
    InvestmentTag kind;  // a trade's, kCash or kSecurity
    std::size_t statement = 0;
    InvestmentFields fields;
    std::string security_name, ticker;
  };
  void Begin(InvestmentTag kind);
  void Close();

  AddRecord add_record_;
  std::function<void(std::string)> account_;
  bool investing_ = false;
  bool in_statement_ = false;
  std::size_t statement_ = 0;
  bool in_payee_ = false;
  std::optional<Open> open_;
  std::map<std::string, std::string> names_;
};

}  // namespace ledgerlift::testing_reference
