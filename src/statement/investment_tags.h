#pragma once

#include <cstddef>
#include <cstdint>

#include "statement/tags.h"

namespace ledgerlift {

// The tags an investment statement and a security list are read by. A bank
// statement never needs them: they are looked up, in a plain sorted table,
// only once a file has shown an investment statement or a security list
// (Tag::kInvestmentStatement, Tag::kSecurityList), and never by the fast
// table of tags.h, whose keys keep their own meaning here (FromFastTag).
enum class InvestmentTag : std::uint8_t {
  kNone,
  // The trades of an investment statement's transaction list, each begun by
  // its aggregate's tag.
  kBuyDebt,
  kBuyMutualFund,
  kBuyOption,
  kBuyOther,
  kBuyStock,
  kSellDebt,
  kSellMutualFund,
  kSellOption,
  kSellOther,
  kSellStock,
  kIncome,
  kReinvest,
  kTransfer,
  kExpense,         // INVEXPENSE
  kMarginInterest,  // MARGININTEREST
  kReturnOfCapital,
  kSplit,
  kJournalFund,      // JRNLFUND: kinds no record is written for
  kJournalSecurity,  // JRNLSEC
  kClosureOption,    // CLOSUREOPT
  kTradeEnd,         // the closing tag of any of them
  kCash,             // STMTTRN: cash in or out of the account (in INVBANKTRAN)
  kCashEnd,          // /STMTTRN, /INVBANKTRAN (and /BANKTRANLIST)
  kPayee,            // PAYEE
  kPayeeEnd,         // /PAYEE
  kSecurity,         // SECINFO: a security of the security list
  kSecurityEnd,      // /SECINFO
  kListEnd,          // /INVTRANLIST, /INVSTMTRS, /SECLIST: what is open ends
  kAccountId,        // ACCTID
  // The fields, from here on.
  kTradeDate,  // DTTRADE
  kPosted,     // DTPOSTED
  kAmount,     // TRNAMT
  kName,       // NAME
  kMemo,       // MEMO
  kUniqueId,   // UNIQUEID: a security's identifier (CUSIP, ISIN, ...)
  kUnits,
  kUnitPrice,
  kCommission,
  kFees,
  kTotal,
  kIncomeType,      // INCOMETYPE
  kTransferAction,  // TFERACTION
  kBuyType,         // BUYTYPE
  kSellType,        // SELLTYPE
  kNumerator,
  kDenominator,
  kSecurityName,  // SECNAME
  kTicker,
  kCount,
};

inline constexpr InvestmentTag kFirstTrade = InvestmentTag::kBuyDebt;
inline constexpr InvestmentTag kLastTrade = InvestmentTag::kClosureOption;
inline constexpr InvestmentTag kFirstField = InvestmentTag::kTradeDate;

struct InvestmentMatch {
  InvestmentTag tag = InvestmentTag::kNone;
  std::uint8_t size = 0;  // the key and its ">"
};

// The longest investment key with its ">", "MARGININTEREST>": a key is
// looked for within this many bytes, which a key gathered byte by byte at a
// block's end also holds (kTagLookahead - 1), so both find the same keys.
inline constexpr std::size_t kInvestmentKeyLookahead = kTagLookahead - 1;

// Which investment tag the key at `p` is (`p` has kInvestmentKeyLookahead
// bytes readable): a key of the table followed at once by ">".
InvestmentMatch MatchInvestmentTag(const char* p);

// What a key of the fast table means inside an investment statement;
// kNone for the statement tags, which keep their own meaning.
InvestmentTag FromFastTag(Tag tag);

}  // namespace ledgerlift
