#include "reference_investment.h"

#include <set>

namespace ledgerlift::testing_reference {
namespace {

using T = InvestmentTag;

// What a bank key means inside an investment statement.
const std::map<std::string, InvestmentTag> kBankKeys = {{"STMTTRN", T::kCash},
                                                        {"/STMTTRN", T::kCashEnd},
                                                        {"/BANKTRANLIST", T::kCashEnd},
                                                        {"/INVBANKTRAN", T::kCashEnd},
                                                        {"PAYEE", T::kPayee},
                                                        {"/PAYEE", T::kPayeeEnd},
                                                        {"ACCTID", T::kAccountId},
                                                        {"DTPOSTED", T::kPosted},
                                                        {"TRNAMT", T::kAmount},
                                                        {"NAME", T::kName},
                                                        {"MEMO", T::kMemo},
                                                        {"TRNTYPE", T::kNone}};

InvestmentTag TagOf(const std::string& key) {
  if (const auto bank = kBankKeys.find(key); bank != kBankKeys.end()) return bank->second;
  std::string padded = key + ">";
  padded.resize(std::max<std::size_t>(padded.size(), 16), '\0');
  return MatchInvestmentTag(padded.data()).tag;
}

bool IsTrade(InvestmentTag tag) { return tag >= kFirstTrade && tag <= kLastTrade; }

// The fields each kind of thing holds.
bool Holds(InvestmentTag kind, InvestmentTag field) {
  static const std::set<InvestmentTag> kTrade = {
      T::kTradeDate,  T::kMemo,     T::kUniqueId,  T::kUnits,      T::kUnitPrice,
      T::kCommission, T::kFees,     T::kTotal,     T::kIncomeType, T::kTransferAction,
      T::kBuyType,    T::kSellType, T::kNumerator, T::kDenominator};
  static const std::set<InvestmentTag> kCash = {T::kPosted, T::kAmount, T::kName,
                                                T::kMemo};
  static const std::set<InvestmentTag> kSecurity = {T::kUniqueId, T::kSecurityName,
                                                    T::kTicker};
  const std::set<InvestmentTag>& held = kind == T::kCash       ? kCash
                                        : kind == T::kSecurity ? kSecurity
                                                               : kTrade;
  return held.count(field) != 0;
}

}  // namespace

void InvestmentReader::BeginStatement(bool investment, std::size_t statement) {
  investing_ = investing_ || investment;
  Close();
  in_statement_ = investment;
  statement_ = statement;
}

std::optional<InvestmentTag> InvestmentReader::Key(const std::string& key) {
  const InvestmentTag tag = TagOf(key);
  const bool open = open_.has_value();
  if (IsTrade(tag)) {
    if (in_statement_) Begin(tag);
  } else if (tag == T::kCash || tag == T::kSecurity) {
    Begin(tag);
  } else if ((tag == T::kTradeEnd && open && IsTrade(open_->kind)) ||
             (tag == T::kCashEnd && open && open_->kind == T::kCash) ||
             (tag == T::kSecurityEnd && open && open_->kind == T::kSecurity) ||
             tag == T::kListEnd) {
    Close();
  } else if (tag == T::kPayee || tag == T::kPayeeEnd) {
    in_payee_ = tag == T::kPayee;
  } else if (tag == T::kAccountId && !open) {
    return tag;
  } else if (tag >= kFirstField && open && Holds(open_->kind, tag)) {
    return tag;
  }
  return std::nullopt;
}

void InvestmentReader::Take(InvestmentTag field, const std::string& text,
                            const std::string& as_read) {
  if (field == T::kAccountId) return account_(text);
  if (!open_) return;
  InvestmentFields& f = open_->fields;
  if (field == T::kTradeDate || field == T::kPosted) {
    if (const std::optional<QifDate> date = PostedDate(as_read)) f.date = date;
    return;
  }
  const std::map<InvestmentTag, std::optional<Decimal>*> numbers = {
      {T::kUnits, &f.units},
      {T::kUnitPrice, &f.unit_price},
      {T::kCommission, &f.commission},
      {T::kFees, &f.fees},
      {T::kTotal, &f.total},
      {T::kNumerator, &f.numerator},
      {T::kDenominator, &f.denominator},
      {T::kAmount, &f.amount}};
  if (const auto number = numbers.find(field); number != numbers.end()) {
    if (const std::optional<Decimal> read = Decimal::Parse(as_read)) {
      *number->second = read;
    }
    return;
  }
  if (text.empty()) return;
  const std::map<InvestmentTag, std::string*> texts = {
      {T::kName, in_payee_ ? &f.payee_name : &f.name},
      {T::kMemo, &f.memo},
      {T::kUniqueId, &f.unique_id},
      {T::kIncomeType, &f.income_type},
      {T::kTransferAction, &f.transfer_action},
      {T::kBuyType, &f.buy_type},
      {T::kSellType, &f.sell_type},
      {T::kSecurityName, &open_->security_name},
      {T::kTicker, &open_->ticker}};
  *texts.at(field) = text;
}

std::string InvestmentReader::Named(const std::string& records) const {
  std::string named;
  for (size_t at = 0; at < records.size();) {
    const size_t end = records.find("\r\n", at);
    const std::string line = records.substr(at, end - at);
    const auto name = names_.find(line.substr(1));
    named += line[0] == 'Y' && name != names_.end() ? "Y" + name->second : line;
    named += "\r\n";
    at = end + 2;
  }
  return named;
}

void InvestmentReader::Begin(InvestmentTag kind) {
  Close();
  open_ = Open{kind, statement_, {}, {}, {}};
  in_payee_ = false;
}

void InvestmentReader::Close() {
  if (!open_) return;
  const Open open = std::move(*open_);
  open_.reset();
  if (open.kind != T::kSecurity) {
    if (std::string record; InvestmentRecord(open.kind, open.fields, record)) {
      add_record_(open.statement, std::move(record));
    } else {
      ++failed;
    }
    return;
  }
  // A security is named by its SECNAME, else its TICKER; the first of an
  // identifier counts.
  const std::string& name = open.security_name.empty() ? open.ticker : open.security_name;
  if (!open.fields.unique_id.empty() && !name.empty()) {
    names_.emplace(open.fields.unique_id, name);
  }
}

}  // namespace ledgerlift::testing_reference
