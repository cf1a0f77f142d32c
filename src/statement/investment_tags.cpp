#include "statement/investment_tags.h"

#include <array>
#include <bit>
#include <string_view>

namespace ledgerlift {
namespace {

using T = InvestmentTag;

struct Key {
  std::string_view text;  // without its ">"
  InvestmentTag tag;
};

// Sorted by text, to be read. (No closing tag of MARGININTEREST:
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

// The table: each key with its ">" as two words, as MatchTag compares
// them, in a slot picked by a hash of the words (the next free one when
// taken); a lookup compares words, never strings.
struct Slot {
  std::uint64_t first = 0, second = 0;
  InvestmentTag tag = T::kNone;
  std::uint8_t size = 0;  // 0: free
};
constexpr unsigned kSlotBits = 7;  // 128 slots, half of them taken at most

constexpr unsigned SlotOf(std::uint64_t first, std::uint64_t second) {
  return static_cast<unsigned>(
      ((first ^ (second * 0xC2B2AE3D27D4EB4Full)) * 0x9E3779B97F4A7C15ull) >>
      (64 - kSlotBits));
}

constexpr std::array<Slot, 1u << kSlotBits> MakeSlots() {
  std::array<Slot, 1u << kSlotBits> slots{};
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    const std::string_view text = kKeys[i].text;
    if (text.size() + 1 > kInvestmentKeyLookahead) throw "a key out of reach";
    if (i > 0 && !(kKeys[i - 1].text < text)) throw "the keys are not sorted";
    char key[16] = {};
    for (std::size_t k = 0; k < text.size(); ++k) key[k] = text[k];
    key[text.size()] = '>';
    const std::size_t size = text.size() + 1;
    const std::uint64_t first = tag_words::Word(key, size < 8 ? size : 8);
    const std::uint64_t second = size > 8 ? tag_words::Word(key + 8, size - 8) : 0;
    unsigned slot = SlotOf(first, second);
    while (slots[slot].size != 0) slot = (slot + 1) % slots.size();
    slots[slot] = {first, second, kKeys[i].tag, static_cast<std::uint8_t>(size)};
  }
  return slots;
}

constexpr std::array<Slot, 1u << kSlotBits> kSlots = MakeSlots();

// Bit 7 of each byte of `word` that is ">", and of no other.
constexpr std::uint64_t GreaterThans(std::uint64_t word) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const std::uint64_t x = word ^ 0x3E3E3E3E3E3E3E3Eull;
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// The byte of the first ">" among the 8 of a word, by their order in memory.
int FirstByte(std::uint64_t bits) {
  return (std::endian::native == std::endian::little ? std::countr_zero(bits)
                                                     : std::countl_zero(bits)) /
         8;
}

// The size of the key at `p` with its ">": up to the first ">" within reach,
// or 0.
std::size_t KeySize(const char* p) {
  if (const std::uint64_t bits = GreaterThans(tag_words::Load(p))) {
    return static_cast<std::size_t>(FirstByte(bits)) + 1;
  }
  const std::uint64_t bits = GreaterThans(tag_words::Load(p + 8));
  const std::size_t size = bits ? static_cast<std::size_t>(FirstByte(bits)) + 9 : 0;
  return size <= kInvestmentKeyLookahead ? size : 0;
}

}  // namespace

InvestmentMatch MatchInvestmentTag(const char* p) {
  const std::size_t size = KeySize(p);
  if (size == 0) return {};
  const std::uint64_t first = tag_words::Load(p) & tag_words::Prefix(size < 8 ? size : 8);
  const std::uint64_t second =
      size > 8 ? tag_words::Load(p + 8) & tag_words::Prefix(size - 8) : 0;
  for (unsigned slot = SlotOf(first, second);; slot = (slot + 1) % kSlots.size()) {
    const Slot& entry = kSlots[slot];
    if (entry.size == 0) return {};
    if (entry.first == first && entry.second == second) return {entry.tag, entry.size};
  }
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
