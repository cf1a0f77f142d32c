#include "statement/investment_tags.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace ledgerlift {
namespace {

using T = InvestmentTag;

struct Key {
  std::string_view text;  // without its ">"
  InvestmentTag tag;
};

// Sorted by text, for a binary search. (No closing tag of MARGININTEREST:
// "/MARGININTEREST>" is longer than any key read; the next trade or the
// list's end ends it.)
constexpr Key kKeys[] = {
    {"/BUYDEBT", T::kTradeEnd},
    {"/BUYMF", T::kTradeEnd},
    {"/BUYOPT", T::kTradeEnd},
    {"/BUYOTHER", T::kTradeEnd},
    {"/BUYSTOCK", T::kTradeEnd},
    {"/CLOSUREOPT", T::kTradeEnd},
    {"/INCOME", T::kTradeEnd},
    {"/INVEXPENSE", T::kTradeEnd},
    {"/INVSTMTRS", T::kListEnd},
    {"/INVTRANLIST", T::kListEnd},
    {"/JRNLFUND", T::kTradeEnd},
    {"/JRNLSEC", T::kTradeEnd},
    {"/REINVEST", T::kTradeEnd},
    {"/RETOFCAP", T::kTradeEnd},
    {"/SECINFO", T::kSecurityEnd},
    {"/SECLIST", T::kListEnd},
    {"/SELLDEBT", T::kTradeEnd},
    {"/SELLMF", T::kTradeEnd},
    {"/SELLOPT", T::kTradeEnd},
    {"/SELLOTHER", T::kTradeEnd},
    {"/SELLSTOCK", T::kTradeEnd},
    {"/SPLIT", T::kTradeEnd},
    {"/TRANSFER", T::kTradeEnd},
    {"BUYDEBT", T::kBuyDebt},
    {"BUYMF", T::kBuyMutualFund},
    {"BUYOPT", T::kBuyOption},
    {"BUYOTHER", T::kBuyOther},
    {"BUYSTOCK", T::kBuyStock},
    {"BUYTYPE", T::kBuyType},
    {"CLOSUREOPT", T::kClosureOption},
    {"COMMISSION", T::kCommission},
    {"DENOMINATOR", T::kDenominator},
    {"DTTRADE", T::kTradeDate},
    {"FEES", T::kFees},
    {"INCOME", T::kIncome},
    {"INCOMETYPE", T::kIncomeType},
    {"INVEXPENSE", T::kExpense},
    {"JRNLFUND", T::kJournalFund},
    {"JRNLSEC", T::kJournalSecurity},
    {"MARGININTEREST", T::kMarginInterest},
    {"NUMERATOR", T::kNumerator},
    {"REINVEST", T::kReinvest},
    {"RETOFCAP", T::kReturnOfCapital},
    {"SECINFO", T::kSecurity},
    {"SECNAME", T::kSecurityName},
    {"SELLDEBT", T::kSellDebt},
    {"SELLMF", T::kSellMutualFund},
    {"SELLOPT", T::kSellOption},
    {"SELLOTHER", T::kSellOther},
    {"SELLSTOCK", T::kSellStock},
    {"SELLTYPE", T::kSellType},
    {"SPLIT", T::kSplit},
    {"TFERACTION", T::kTransferAction},
    {"TICKER", T::kTicker},
    {"TOTAL", T::kTotal},
    {"TRANSFER", T::kTransfer},
    {"UNIQUEID", T::kUniqueId},
    {"UNITPRICE", T::kUnitPrice},
    {"UNITS", T::kUnits},
};

constexpr bool Sorted() {
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    if (i > 0 && !(kKeys[i - 1].text < kKeys[i].text)) return false;
    if (kKeys[i].text.size() + 1 > kInvestmentKeyLookahead) return false;
  }
  return true;
}
static_assert(Sorted(), "the keys are sorted, each within reach");

}  // namespace

InvestmentMatch MatchInvestmentTag(const char* p) {
  const void* const end = std::memchr(p, '>', kInvestmentKeyLookahead);
  if (end == nullptr) return {};
  const std::string_view key(p,
                             static_cast<std::size_t>(static_cast<const char*>(end) - p));
  const Key* const found = std::lower_bound(
      std::begin(kKeys), std::end(kKeys), key,
      [](const Key& entry, std::string_view text) { return entry.text < text; });
  if (found == std::end(kKeys) || found->text != key) return {};
  return {found->tag, static_cast<std::uint8_t>(key.size() + 1)};
}

InvestmentTag FromFastTag(Tag tag) {
  switch (tag) {
    case Tag::kTransaction:
      return T::kCash;
    case Tag::kTransactionEnd:
    case Tag::kListEnd:
      return T::kCashEnd;
    case Tag::kPayee:
      return T::kPayee;
    case Tag::kPayeeEnd:
      return T::kPayeeEnd;
    case Tag::kAccountId:
      return T::kAccountId;
    case Tag::kDate:
      return T::kPosted;
    case Tag::kAmount:
      return T::kAmount;
    case Tag::kName:
      return T::kName;
    case Tag::kMemo:
      return T::kMemo;
    case Tag::kType:  // the sign of TRNAMT tells cash in from cash out
    case Tag::kNone:
    case Tag::kStatement:
    case Tag::kCardStatement:
    case Tag::kInvestmentStatement:
    case Tag::kSecurityList:
      break;
  }
  return T::kNone;
}

}  // namespace ledgerlift
