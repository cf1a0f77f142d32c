// Investment statements: each kind of trade and cash transaction becomes
// its QIF investment record, in SGML and XML, one tag per line and all on
// one line, with the security list after the trades (as brokerages send it)
// or before them; kinds without a record, and transactions lacking what
// their record needs, are counted as failed.

#include <gtest/gtest.h>

#include <string>

#include "fixtures.h"
#include "statement/converter.h"

namespace ledgerlift {
namespace {

using testing_support::AccountHeader;
using testing_support::Trade;

// `sgml`, written one tag per line ("<UNITS>40" an element, "<INVBUY>" and
// "</INVBUY>" an aggregate's tags), in the layout asked for: in XML each
// element is closed; on one line nothing ends a tag but the next one.
std::string InLayout(std::string_view sgml, bool xml, bool tag_per_line,
                     std::string_view line_end) {
  std::string out;
  for (size_t at = 0; at < sgml.size();) {
    const size_t end = sgml.find('\n', at);
    const std::string_view line = sgml.substr(at, end - at);
    at = end + 1;
    out += line;
    const size_t close = line.find('>');
    if (xml && line[1] != '/' && close + 1 < line.size()) {
      out.append("</").append(line.substr(1, close - 1)).append(">");
    }
    if (tag_per_line) out += line_end;
  }
  return out + std::string(line_end);
}

// A trade: its aggregate (with `inner`, INVBUY or INVSELL, around the
// common part), its INVTRAN and SECID, then `fields` and `after`.
std::string Aggregate(std::string_view tag, std::string_view fields,
                      std::string_view security = "14753K108",
                      std::string_view inner = "", std::string_view after = "") {
  std::string text = "<" + std::string(tag) + ">\n";
  if (!inner.empty()) text += "<" + std::string(inner) + ">\n";
  text +=
      "<INVTRAN>\n<FITID>9001\n<DTTRADE>20240108143215.000[-5:EST]\n<MEMO>ORDER 9001\n"
      "</INVTRAN>\n";
  if (!security.empty()) {
    text += "<SECID>\n<UNIQUEID>" + std::string(security) +
            "\n<UNIQUEIDTYPE>CUSIP\n</SECID>\n";
  }
  text += fields;
  if (!inner.empty()) text += "</" + std::string(inner) + ">\n";
  return text + std::string(after) + "</" + std::string(tag) + ">\n";
}

std::string Buy(std::string_view fields, std::string_view type = "BUY") {
  return Aggregate("BUYSTOCK", fields, "14753K108", "INVBUY",
                   "<BUYTYPE>" + std::string(type) + "\n");
}

std::string Cash(std::string_view fields) {
  return "<INVBANKTRAN>\n<STMTTRN>\n" + std::string(fields) +
         "<FITID>C1\n</STMTTRN>\n<SUBACCTFUND>CASH\n</INVBANKTRAN>\n";
}

constexpr std::string_view kSecurities =
    "<SECLISTMSGSRSV1>\n<SECLIST>\n<STOCKINFO>\n<SECINFO>\n<SECID>\n"
    "<UNIQUEID>14753K108\n<UNIQUEIDTYPE>CUSIP\n</SECID>\n<SECNAME>Cascade Timber Co.\n"
    "<TICKER>CSTB\n</SECINFO>\n</STOCKINFO>\n<MFINFO>\n<SECINFO>\n<SECID>\n"
    "<UNIQUEID>86627A203\n<UNIQUEIDTYPE>CUSIP\n</SECID>\n<TICKER>SMTIX\n</SECINFO>\n"
    "</MFINFO>\n</SECLIST>\n</SECLISTMSGSRSV1>\n";

// A brokerage statement of account 5512 holding `trades`, its positions
// (which are no trades) after them, and its security list.
std::string Statement(std::string_view trades, bool securities_first) {
  std::string text = "<OFX>\n";
  if (securities_first) text += kSecurities;
  text +=
      "<INVSTMTMSGSRSV1>\n<INVSTMTTRNRS>\n<INVSTMTRS>\n<DTASOF>20240329\n<CURDEF>USD\n"
      "<INVACCTFROM>\n<BROKERID>harborpoint.com\n<ACCTID> 5512 \n</INVACCTFROM>\n"
      "<INVTRANLIST>\n<DTSTART>20240101\n<DTEND>20240329\n";
  text += trades;
  text +=
      "</INVTRANLIST>\n<INVPOSLIST>\n<POSSTOCK>\n<INVPOS>\n<SECID>\n"
      "<UNIQUEID>14753K108\n<UNIQUEIDTYPE>CUSIP\n</SECID>\n<UNITS>25\n<UNITPRICE>55.72\n"
      "<MKTVAL>1393.00\n</INVPOS>\n</POSSTOCK>\n</INVPOSLIST>\n</INVSTMTRS>\n"
      "</INVSTMTTRNRS>\n</INVSTMTMSGSRSV1>\n";
  if (!securities_first) text += kSecurities;
  return text + "</OFX>\n";
}

constexpr const char* kDate = "01-08-2024";
constexpr std::string_view kCascade = "YCascade Timber Co.", kMemo = "MORDER 9001";

struct TradeCase {
  const char* name;
  std::string trades;
  std::string records;  // after the account's header; none when empty
  std::uint64_t failed;
};

const TradeCase kTrades[] = {
    // TOTAL holds commission and fees, as Quicken's T does for a Buy.
    {"BuyWithCommissionAndFees",
     Buy("<UNITS>40.0000\n<UNITPRICE>52.10\n<COMMISSION>4.95\n<FEES>0.05\n"
         "<TOTAL>-2089.00\n"),
     Trade(kDate, "Buy", {kCascade, "I52.10", "Q40.0000", "T2089.00", "O5.00", kMemo}),
     0},
    {"BuyToCoverAShortSale",
     Buy("<UNITS>10\n<UNITPRICE>50.00\n<TOTAL>-500.00\n", "BUYTOCOVER"),
     Trade(kDate, "CvrShrt", {kCascade, "I50.00", "Q10", "T500.00", kMemo}), 0},
    // A security the list names by its ticker alone.
    {"FundBoughtWithoutCommission",
     Aggregate("BUYMF", "<UNITS>80.000\n<UNITPRICE>62.50\n<TOTAL>-5000.00\n", "86627A203",
               "INVBUY"),
     Trade(kDate, "Buy", {"YSMTIX", "I62.50", "Q80.000", "T5000.00", kMemo}), 0},
    {"SaleGivesItsNetProceeds",
     Aggregate("SELLSTOCK",
               "<UNITS>-15\n<UNITPRICE>58.40\n<COMMISSION>4.95\n<TOTAL>871.05\n",
               "14753K108", "INVSELL", "<SELLTYPE>SELL\n"),
     Trade(kDate, "Sell", {kCascade, "I58.40", "Q15", "T871.05", "O4.95", kMemo}), 0},
    {"ShortSale",
     Aggregate("SELLSTOCK", "<UNITS>-10\n<TOTAL>520.00\n", "14753K108", "INVSELL",
               "<SELLTYPE>SELLSHORT\n"),
     Trade(kDate, "ShtSell", {kCascade, "Q10", "T520.00", kMemo}), 0},
    {"OptionsDebtAndOtherSecuritiesAreBoughtAndSold",
     Aggregate("BUYOPT", "<UNITS>2\n<TOTAL>-300.00\n", "14753K108", "INVBUY") +
         Aggregate("SELLDEBT", "<UNITS>-1000\n<TOTAL>990.00\n", "14753K108", "INVSELL") +
         Aggregate("BUYOTHER", "<UNITS>1\n<TOTAL>-9.00\n", "14753K108", "INVBUY") +
         Aggregate("SELLMF", "<UNITS>-3\n<TOTAL>30.00\n", "14753K108", "INVSELL"),
     Trade(kDate, "Buy", {kCascade, "Q2", "T300.00", kMemo}) +
         Trade(kDate, "Sell", {kCascade, "Q1000", "T990.00", kMemo}) +
         Trade(kDate, "Buy", {kCascade, "Q1", "T9.00", kMemo}) +
         Trade(kDate, "Sell", {kCascade, "Q3", "T30.00", kMemo}),
     0},
    {"IncomeByItsType",
     Aggregate("INCOME", "<INCOMETYPE>DIV\n<TOTAL>12.50\n") +
         Aggregate("INCOME", "<INCOMETYPE>INTEREST\n<TOTAL>1.05\n") +
         Aggregate("INCOME", "<INCOMETYPE>CGLONG\n<TOTAL>80.00\n") +
         Aggregate("INCOME", "<INCOMETYPE>CGSHORT\n<TOTAL>7.25\n") +
         Aggregate("INCOME", "<INCOMETYPE>MISC\n<TOTAL>3.00\n"),
     Trade(kDate, "Div", {kCascade, "T12.50", kMemo}) +
         Trade(kDate, "IntInc", {kCascade, "T1.05", kMemo}) +
         Trade(kDate, "CGLong", {kCascade, "T80.00", kMemo}) +
         Trade(kDate, "CGShort", {kCascade, "T7.25", kMemo}) +
         Trade(kDate, "MiscInc", {kCascade, "T3.00", kMemo}),
     0},
    {"ReinvestmentByItsType",
     Aggregate("REINVEST",
               "<INCOMETYPE>DIV\n<TOTAL>-37.80\n<UNITS>0.600\n<UNITPRICE>63.00\n") +
         Aggregate("REINVEST", "<INCOMETYPE>INTEREST\n<TOTAL>2.00\n<UNITS>0.2\n") +
         Aggregate("REINVEST", "<INCOMETYPE>CGLONG\n<TOTAL>-9.00\n<UNITS>0.1\n") +
         Aggregate("REINVEST", "<INCOMETYPE>CGSHORT\n<TOTAL>-4.50\n<UNITS>0.05\n"),
     Trade(kDate, "ReinvDiv", {kCascade, "I63.00", "Q0.600", "T37.80", kMemo}) +
         Trade(kDate, "ReinvInt", {kCascade, "Q0.2", "T2.00", kMemo}) +
         Trade(kDate, "ReinvLg", {kCascade, "Q0.1", "T9.00", kMemo}) +
         Trade(kDate, "ReinvSh", {kCascade, "Q0.05", "T4.50", kMemo}),
     0},
    // Shares moved in or out carry their value, units times unit price.
    {"SharesTransferredInAndOut",
     Aggregate("TRANSFER", "<UNITS>50.0000\n<TFERACTION>IN\n<UNITPRICE>31.20\n") +
         Aggregate("TRANSFER", "<UNITS>-2.5\n<TFERACTION>OUT\n<UNITPRICE>33.05\n"),
     Trade(kDate, "ShrsIn", {kCascade, "I31.20", "Q50.0000", "T1560.00", kMemo}) +
         Trade(kDate, "ShrsOut", {kCascade, "I33.05", "Q2.5", "T82.625", kMemo}),
     0},
    {"ExpensesMarginInterestAndReturnOfCapital",
     Aggregate("INVEXPENSE", "<TOTAL>-12.00\n") +
         Aggregate("MARGININTEREST", "<TOTAL>-3.10\n", "") +
         Aggregate("RETOFCAP", "<TOTAL>40.00\n"),
     Trade(kDate, "MiscExp", {kCascade, "T12.00", kMemo}) +
         Trade(kDate, "MargInt", {"T3.10", kMemo}) +
         Trade(kDate, "RtrnCap", {kCascade, "T40.00", kMemo}),
     0},
    // Quicken's ratio is new shares per old times ten, and a split has no T.
    {"Splits",
     Aggregate("SPLIT", "<OLDUNITS>25\n<NEWUNITS>50\n<NUMERATOR>2\n<DENOMINATOR>1\n") +
         Aggregate("SPLIT", "<NUMERATOR>3\n<DENOMINATOR>2\n"),
     Trade(kDate, "StkSplit", {kCascade, "Q20", kMemo}) +
         Trade(kDate, "StkSplit", {kCascade, "Q15", kMemo}),
     0},
    {"CashInAndOut",
     Cash("<TRNTYPE>CREDIT\n<DTPOSTED>20240105\n<TRNAMT>7500.00\n"
          "<NAME>ACH DEPOSIT\n<MEMO>FROM CHECKING\n") +
         Cash("<TRNTYPE>DEBIT\n<DTPOSTED>20240106\n<TRNAMT>-250.00\n<MEMO>WIRE OUT\n"),
     Trade("01-05-2024", "XIn", {"T7500.00", "PACH DEPOSIT", "MFROM CHECKING"}) +
         Trade("01-06-2024", "XOut", {"T250.00", "MWIRE OUT"}),
     0},
    // A total against the action's direction keeps the action, its figures
    // negative: the Buy is undone, the dividend taken back.
    {"ReversalsKeepTheirActionWithNegativeFigures",
     Buy("<UNITS>-10\n<UNITPRICE>52.10\n<COMMISSION>5.00\n<TOTAL>526.00\n") +
         Aggregate("INCOME", "<INCOMETYPE>DIV\n<TOTAL>-2.50\n") +
         Aggregate("REINVEST", "<INCOMETYPE>DIV\n<TOTAL>37.80\n<UNITS>-0.600\n"),
     Trade(kDate, "Buy", {kCascade, "I52.10", "Q-10", "T-526.00", "O-5.00", kMemo}) +
         Trade(kDate, "Div", {kCascade, "T-2.50", kMemo}) +
         Trade(kDate, "ReinvDiv", {kCascade, "Q-0.600", "T-37.80", kMemo}),
     0},
    {"SecurityMissingFromTheListKeepsItsIdentifier",
     Aggregate("INCOME", "<INCOMETYPE>DIV\n<TOTAL>4.00\n", "US0000000001"),
     Trade(kDate, "Div", {"YUS0000000001", "T4.00", kMemo}), 0},
    {"KindsWithoutARecordFail",
     Aggregate("JRNLFUND", "<SUBACCTTO>MARGIN\n<SUBACCTFROM>CASH\n<TOTAL>100.00\n", "") +
         Aggregate("JRNLSEC", "<UNITS>5\n") + Aggregate("CLOSUREOPT", "<UNITS>1\n") +
         Aggregate("INCOME", "<INCOMETYPE>FUTURE\n<TOTAL>1.00\n") +
         Aggregate("TRANSFER", "<UNITS>5\n<UNITPRICE>1.00\n") +
         Buy("<UNITS>1\n<TOTAL>-1.00\n"),
     Trade(kDate, "Buy", {kCascade, "Q1", "T1.00", kMemo}), 5},
    // A statement of positions alone gives the header alone, as ever.
    {"NoTransactions", "", "", 0},
    {"TransactionsLackingWhatTheirRecordNeedsFail",
     Buy("<UNITS>40\n<UNITPRICE>52.10\n") +
         Aggregate("SELLSTOCK", "<UNITS>-1\n<TOTAL>1\n", "") +
         Aggregate("TRANSFER", "<UNITS>5\n<TFERACTION>IN\n") +
         Aggregate("SPLIT", "<NUMERATOR>2\n<DENOMINATOR>0\n") +
         Aggregate("INCOME", "<INCOMETYPE>DIV\n<TOTAL>N/A\n") +
         Cash("<TRNTYPE>CREDIT\n<TRNAMT>1.00\n"),
     "", 6},
};

void PrintTo(const TradeCase& c, std::ostream* os) { *os << c.name; }

class Trades : public testing::TestWithParam<TradeCase> {};

TEST_P(Trades, GiveTheirRecordsInSgmlAndXmlOnOneLineAndOneTagPerLine) {
  const TradeCase& c = GetParam();
  const std::string expected = c.records.empty()
                                   ? std::string(testing_support::kHeader)
                                   : AccountHeader("5512", "Invst") + c.records;
  for (bool securities_first : {false, true}) {
    for (bool xml : {false, true}) {
      for (bool tag_per_line : {false, true}) {
        for (std::string_view end : {"\r\n", "\n", "\r"}) {
          SCOPED_TRACE(testing::Message()
                       << (securities_first ? "securities first, " : "")
                       << (xml ? "XML" : "SGML")
                       << (tag_per_line ? ", one tag per line" : ", one line") << " "
                       << testing::PrintToString(end));
          std::uint64_t failed = 99;
          EXPECT_EQ(ConvertText(InLayout(Statement(c.trades, securities_first), xml,
                                         tag_per_line, end),
                                &failed),
                    expected);
          EXPECT_EQ(failed, c.failed);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Actions, Trades, testing::ValuesIn(kTrades),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ledgerlift
