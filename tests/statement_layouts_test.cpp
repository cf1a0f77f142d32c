// Statements in the layouts banks send: one tag per line (SGML, indented or
// not), XML with every element closed, credit-card and investment statements,
// files of several accounts, and the odd ways real files end their
// transactions; and the rules for a transaction's values in every layout.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures.h"
#include "statement/converter.h"

namespace ledgerlift {
namespace {

using testing_support::AccountHeader;
using testing_support::Record;
using testing_support::Trade;

// `text` with each "\n" replaced by `line_end`.
std::string WithLineEnds(std::string_view text, std::string_view line_end) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += line_end;
    } else {
      out += c;
    }
  }
  return out;
}

struct StatementCase {
  const char* name;
  const char* statement;  // lines end in "\n"; each case runs with CR LF, LF and CR
  std::string records;    // after "!Type:Bank", or the whole register
  std::uint64_t failed;
};

const StatementCase kStatements[] = {
    {"SgmlOneTagPerLine", R"(OFXHEADER:100
DATA:OFXSGML
VERSION:102

<OFX>
<BANKMSGSRSV1>
<STMTTRNRS>
<STMTRS>
<BANKTRANLIST>
<DTSTART>20240301
<DTEND>20240331
<STMTTRN>
<TRNTYPE>DEBIT
<DTPOSTED>20240323000000[-3:GMT]
<TRNAMT>-13.00
<FITID>1111
<MEMO>CORNER SHOP
</STMTTRN>
<STMTTRN>
<TRNTYPE>CREDIT
<DTPOSTED>20240325
<TRNAMT>1500.00
<FITID>1112
<NAME>ACME PAYROLL
<MEMO>SALARY MARCH
</STMTTRN>
</BANKTRANLIST>
<LEDGERBAL>
<BALAMT>1487.00
<DTASOF>20240331
</LEDGERBAL>
</STMTRS>
</STMTTRNRS>
</BANKMSGSRSV1>
</OFX>
)",
     Record("03-23-2024", "CORNER SHOP", "-13.00", "DEBIT") +
         Record("03-25-2024", "ACME PAYROLL", "1500.00", "CREDIT"),
     0},
    // Indentation belongs to no value, nor do blanks after one.
    {"IndentedWithTabsAndBlanks",
     "<BANKTRANLIST>\n"
     "\t<STMTTRN>\n"
     "\t\t<TRNTYPE>POS\n"
     "\t  <DTPOSTED>20240402\n"
     "    \t<TRNAMT>-7.25  \n"
     "\t\t<NAME>BAKERY ON MAIN \n"
     "\t</STMTTRN>\n"
     "</BANKTRANLIST>\n",
     Record("04-02-2024", "BAKERY ON MAIN", "-7.25", "POS"), 0},
    {"XmlPrettyPrinted", R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<?OFX OFXHEADER="200" VERSION="220" SECURITY="NONE" OLDFILEUID="NONE" NEWFILEUID="NONE"?>
<OFX>
  <BANKMSGSRSV1>
    <STMTTRNRS>
      <STMTRS>
        <BANKTRANLIST>
          <DTSTART>20240301000000.000</DTSTART>
          <DTEND>20240331000000.000</DTEND>
          <STMTTRN>
            <TRNTYPE>DEBIT</TRNTYPE>
            <DTPOSTED>20240323000000.000[-3:GMT]</DTPOSTED>
            <TRNAMT>-13.00</TRNAMT>
            <FITID>1111</FITID>
            <MEMO>CORNER SHOP</MEMO>
          </STMTTRN>
          <STMTTRN>
            <TRNTYPE>DEP</TRNTYPE>
            <DTPOSTED>20240328</DTPOSTED>
            <TRNAMT>250.00</TRNAMT>
            <FITID>1113</FITID>
            <NAME>MOBILE DEPOSIT</NAME>
          </STMTTRN>
        </BANKTRANLIST>
        <LEDGERBAL>
          <BALAMT>237.00</BALAMT>
          <DTASOF>20240331</DTASOF>
        </LEDGERBAL>
      </STMTRS>
    </STMTTRNRS>
  </BANKMSGSRSV1>
</OFX>
)",
     Record("03-23-2024", "CORNER SHOP", "-13.00", "DEBIT") +
         Record("03-28-2024", "MOBILE DEPOSIT", "250.00", "DEP"),
     0},
    {"CreditCardStatement", R"(<OFX>
<CREDITCARDMSGSRSV1>
<CCSTMTTRNRS>
<CCSTMTRS>
<CURDEF>USD
<CCACCTFROM>
<ACCTID>4111111111111111
</CCACCTFROM>
<BANKTRANLIST>
<STMTTRN>
<TRNTYPE>DEBIT
<DTPOSTED>20240305120000
<TRNAMT>-42.10
<FITID>CC-0001
<NAME>FUEL STATION 221
</STMTTRN>
<STMTTRN>
<TRNTYPE>CREDIT
<DTPOSTED>20240320120000
<TRNAMT>300.00
<FITID>CC-0002
<NAME>PAYMENT THANK YOU
</STMTTRN>
</BANKTRANLIST>
</CCSTMTRS>
</CCSTMTTRNRS>
</CREDITCARDMSGSRSV1>
</OFX>
)",
     Record("03-05-2024", "FUEL STATION 221", "-42.10", "DEBIT") +
         Record("03-20-2024", "PAYMENT THANK YOU", "300.00", "CREDIT"),
     0},
    // Some banks write each value on the line after its tag.
    {"ValuesOnTheNextLineSgml", R"(<STMTTRN>
<TRNTYPE>
XFER</TRNTYPE>
<DTPOSTED>
20190109120000.000[+0:UTC]</DTPOSTED>
<TRNAMT>
  -55.00  </TRNAMT>
<NAME>
Transfer to savings account</NAME>
</STMTTRN>
<STMTTRN>
<TRNTYPE>
DEBIT
<DTPOSTED>
20190110
<TRNAMT>
-1.00
<NAME>

<MEMO>
Fee A &amp; B
</STMTTRN>
)",
     Record("01-09-2019", "Transfer to savings account", "-55.00", "XFER") +
         Record("01-10-2019", "Fee A & B", "-1.00", "DEBIT"),
     0},
    // An investment statement's values too, its account's and its
    // security's among them.
    {"InvestmentValuesOnTheNextLine", R"(<INVSTMTRS>
<INVACCTFROM>
<ACCTID>
5512
</INVACCTFROM>
<INVTRANLIST>
<BUYSTOCK>
<INVBUY>
<INVTRAN>
<DTTRADE>
20240108
<MEMO>
BUY CSTB
</INVTRAN>
<SECID>
<UNIQUEID>
14753K108
</SECID>
<UNITS>
40
<UNITPRICE>
  52.10  
<TOTAL>
-2084.00
</INVBUY>
</BUYSTOCK>
</INVTRANLIST>
</INVSTMTRS>
<SECLIST><SECINFO><SECID><UNIQUEID>14753K108</SECID><SECNAME>
Cascade Timber Co.
</SECINFO></SECLIST>
)",
     AccountHeader("5512", "Invst") +
         Trade("01-08-2024", "Buy",
               {"YCascade Timber Co.", "I52.10", "Q40", "T2084.00", "MBUY CSTB"}),
     0},
    // A line that opens with "<" gives nothing to the tag before it.
    {"EmptyValueBeforeATag", R"(<STMTTRN>
<TRNTYPE>DEBIT
<DTPOSTED>20190110
<TRNAMT>-1.00
<NAME>
<MEMO>CORNER SHOP
  <NAME>   
  </STMTTRN>
)",
     Record("01-10-2019", "CORNER SHOP", "-1.00", "DEBIT"), 0},
    // Whole on its line but for a value on the next: one record, not a
    // failure and a stray value.
    {"OneLineTransactionEndingInAnEmptyTag",
     "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20190110<TRNAMT>-1.00<NAME>\nCORNER SHOP\n",
     Record("01-10-2019", "CORNER SHOP", "-1.00", "DEBIT"), 0},
    // Cash moving into an investment account is booked to that account:
    // an investment register, which needs its account even alone.
    {"CashInAnInvestmentStatement", R"(<INVSTMTRS>
<INVTRANLIST>
<DTSTART>20240301
<DTEND>20240331
<INVBANKTRAN>
<STMTTRN>
<TRNTYPE>CREDIT
<DTPOSTED>20240315
<TRNAMT>25.40
<FITID>INV-77
<NAME>DIVIDEND SWEEP
</STMTTRN>
<SUBACCTFUND>CASH
</INVBANKTRAN>
</INVTRANLIST>
</INVSTMTRS>
)",
     AccountHeader("Account 1", "Invst") +
         Trade("03-15-2024", "XIn", {"T25.40", "PDIVIDEND SWEEP"}),
     0},
    {"TwoStatementsInOneFile", R"(<STMTRS>
<BANKACCTFROM>
<ACCTID>111
</BANKACCTFROM>
<BANKTRANLIST>
<STMTTRN>
<TRNTYPE>DEBIT
<DTPOSTED>20240301
<TRNAMT>-1.00
<NAME>FIRST ACCOUNT
</STMTTRN>
</BANKTRANLIST>
<AVAILBAL>
<BALAMT>99.00
</AVAILBAL>
</STMTRS>
<STMTRS>
<BANKACCTFROM>
<ACCTID>222
</BANKACCTFROM>
<BANKTRANLIST>
<STMTTRN>
<TRNTYPE>CREDIT
<DTPOSTED>20240302
<TRNAMT>2.00
<NAME>SECOND ACCOUNT
</STMTTRN>
</BANKTRANLIST>
</STMTRS>
)",
     AccountHeader("111", "Bank") +
         Record("03-01-2024", "FIRST ACCOUNT", "-1.00", "DEBIT") +
         AccountHeader("222", "Bank") +
         Record("03-02-2024", "SECOND ACCOUNT", "2.00", "CREDIT"),
     0},
    // Pretty-printed XML with each value on the line after its tag: the
    // account's number too.
    {"XmlValuesOnTheNextLine", R"(<OFX>
  <STMTRS>
    <BANKACCTFROM>
      <ACCTID>
        7730418852
      </ACCTID>
    </BANKACCTFROM>
    <STMTTRN>
      <TRNTYPE>
        DEBIT
      </TRNTYPE>
      <DTPOSTED>
        20240301
      </DTPOSTED>
      <TRNAMT>
        -1.00
      </TRNAMT>
      <NAME>
        CAF&#201; DU PARC
      </NAME>
    </STMTTRN>
  </STMTRS>
  <CCSTMTRS>
    <STMTTRN><TRNTYPE>CREDIT</TRNTYPE><DTPOSTED>20240302</DTPOSTED><TRNAMT>2.00</TRNAMT><NAME>PAYMENT</NAME></STMTTRN>
  </CCSTMTRS>
</OFX>
)",
     AccountHeader("7730418852", "Bank") +
         Record("03-01-2024", "CAF&#201; DU PARC", "-1.00", "DEBIT") +
         AccountHeader("Account 2", "CCard") +
         Record("03-02-2024", "PAYMENT", "2.00", "CREDIT"),
     0},
    // Records before any statement come first; a statement without records
    // gives no block, one without ACCTID is named by its place in the file;
    // the ACCTID of a transfer's other account is not the statement's.
    {"SeveralStatementsInXmlOnOneLine",
     "<OFX><BANKTRANLIST><STMTTRN><TRNTYPE>FEE</TRNTYPE><DTPOSTED>20240301</DTPOSTED>"
     "<TRNAMT>-3.00</TRNAMT><NAME>BEFORE ANY</NAME></STMTTRN></BANKTRANLIST>"
     "<STMTRS><BANKACCTFROM><ACCTID> 111-22 </ACCTID></BANKACCTFROM><BANKTRANLIST>"
     "<STMTTRN><TRNTYPE>XFER</TRNTYPE><DTPOSTED>20240302</DTPOSTED><TRNAMT>-50.00</"
     "TRNAMT>"
     "<NAME>TO CARD</NAME><CCACCTTO><ACCTID>999</ACCTID></CCACCTTO></STMTTRN>"
     "</BANKTRANLIST></STMTRS><STMTRS><BANKACCTFROM><ACCTID>333</ACCTID></BANKACCTFROM>"
     "</STMTRS><CCSTMTRS><BANKTRANLIST><STMTTRN><TRNTYPE>CREDIT</TRNTYPE>"
     "<DTPOSTED>20240303</DTPOSTED><TRNAMT>50.00</TRNAMT><NAME>PAYMENT</NAME>"
     "</STMTTRN></BANKTRANLIST><CCACCTFROM><ACCTID>4111</ACCTID></CCACCTFROM>"
     "</CCSTMTRS><INVSTMTRS><INVTRANLIST><INVBANKTRAN><STMTTRN><TRNTYPE>DEP</TRNTYPE>"
     "<DTPOSTED>20240304</DTPOSTED><TRNAMT>9.00</TRNAMT><MEMO>CASH</MEMO></STMTTRN>"
     "</INVBANKTRAN></INVTRANLIST></INVSTMTRS></OFX>\n",
     "!Type:Bank\r\n" + Record("03-01-2024", "BEFORE ANY", "-3.00", "FEE") +
         AccountHeader("111-22", "Bank") +
         Record("03-02-2024", "TO CARD", "-50.00", "XFER") +
         AccountHeader("4111", "CCard") +
         Record("03-03-2024", "PAYMENT", "50.00", "CREDIT") +
         AccountHeader("Account 4", "Invst") +
         Trade("03-04-2024", "XIn", {"T9.00", "MCASH"}),
     0},
    {"NeitherNameNorMemo", R"(<STMTTRN>
<TRNTYPE>SRVCHG
<DTPOSTED>20240331
<TRNAMT>-4.95
<FITID>3001
</STMTTRN>
)",
     Record("03-31-2024", "", "-4.95", "SRVCHG"), 0},
    // The balance aggregate's values after the list's end belong to no
    // transaction, though the last one never closed.
    {"LastTransactionLeftOpenBeforeTheListEnds", R"(<BANKTRANLIST>
<STMTTRN>
<TRNTYPE>DEBIT
<DTPOSTED>20240301
<TRNAMT>-5.00
<NAME>CLOSED ONE
</STMTTRN>
<STMTTRN>
<TRNTYPE>DEBIT
<DTPOSTED>20240302
<TRNAMT>-6.00
<MEMO>NEVER CLOSED
</BANKTRANLIST>
<BAL>
<NAME>Overdraft limit
<VALUE>500.00
</BAL>
)",
     Record("03-01-2024", "CLOSED ONE", "-5.00", "DEBIT") +
         Record("03-02-2024", "NEVER CLOSED", "-6.00", "DEBIT"),
     0},
    {"LastTransactionOpenAtTheEndOfTheInput", R"(<STMTTRN>
<TRNTYPE>DEBIT
<DTPOSTED>20240302
<TRNAMT>-6.00)",
     Record("03-02-2024", "", "-6.00", "DEBIT"), 0},
    {"TransactionBeginsMidLineAndEndsLater",
     "<BANKTRANLIST><DTSTART>20240301<STMTTRN><TRNTYPE>DEBIT\n"
     "<DTPOSTED>20240304\n"
     "<TRNAMT>-9.99<NAME>NEWSSTAND\n"
     "</STMTTRN></BANKTRANLIST>\n",
     Record("03-04-2024", "NEWSSTAND", "-9.99", "DEBIT"), 0},
    {"StrayClosingTagOutsideATransaction",
     "</STMTTRN>\n<NAME>NOT A PAYEE\n</STMTTRN><TRNAMT>1\n"
     "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240305<TRNAMT>-1.00<NAME>KIOSK</STMTTRN>\n",
     Record("03-05-2024", "KIOSK", "-1.00", "DEBIT"), 0},
    {"IncompleteTransactionOverLinesCountsOnce", R"(<STMTTRN>
<TRNTYPE>DEBIT
<NAME>NO DATE OR AMOUNT
</STMTTRN>
<STMTTRN>
<TRNTYPE>DEBIT
<DTPOSTED>TODAY
<TRNAMT>-1.00
</STMTTRN>
)",
     "", 2},
    // A one-line transaction that holds all four fields still ends with its
    // line, as it always has: the tags on the next line are not its own.
    {"CompleteOneLineTransactionEndsWithItsLine",
     "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240301<TRNAMT>-2.00<NAME>FIRST\n"
     "<NAME>NOT FIRST\n",
     Record("03-01-2024", "FIRST", "-2.00", "DEBIT"), 0},
};

void PrintTo(const StatementCase& c, std::ostream* os) { *os << c.name; }

class Statements : public testing::TestWithParam<StatementCase> {};

TEST_P(Statements, ConvertWithEveryLineEnd) {
  const StatementCase& c = GetParam();
  for (std::string_view end : {"\r\n", "\n", "\r"}) {
    std::uint64_t failed = 99;
    // Records of several accounts come with headers of their own.
    const std::string expected =
        c.records.starts_with("!") ? c.records : "!Type:Bank\r\n" + c.records;
    EXPECT_EQ(ConvertText(WithLineEnds(c.statement, end), &failed), expected)
        << testing::PrintToString(end);
    EXPECT_EQ(failed, c.failed) << testing::PrintToString(end);
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, Statements, testing::ValuesIn(kStatements),
                         [](const auto& info) { return std::string(info.param.name); });

// A transaction's content in order: elements (a key and its value), and
// text that stands between them as it is (an aggregate's tags, a comment).
struct Piece {
  const char* key;  // nullptr: `value` is text as it is
  const char* value;
};

// The transaction in SGML or XML, one line or one tag per line.
std::string Written(const std::vector<Piece>& pieces, bool xml, bool tag_per_line) {
  const std::string between = tag_per_line ? "\n" : "";
  std::string text = "<STMTTRN>";
  for (const Piece& piece : pieces) {
    text += between;
    if (piece.key == nullptr) {
      text += piece.value;
      continue;
    }
    text.append("<").append(piece.key).append(">").append(piece.value);
    if (xml) text.append("</").append(piece.key).append(">");
  }
  return text + between + "</STMTTRN>\n";
}

struct RuleCase {
  const char* name;
  std::vector<Piece> pieces;
  std::string records;
  std::uint64_t failed;
};

const Piece kType = {"TRNTYPE", "DEBIT"}, kDate = {"DTPOSTED", "20240301"},
            kAmount = {"TRNAMT", "-4.20"};

std::string Shop(std::string_view payee) {
  return Record("03-01-2024", payee, "-4.20", "DEBIT");
}

const RuleCase kRules[] = {
    {"GreaterThanInAValueIsKept",
     {kType, kDate, kAmount, {"NAME", "A > B SHOP"}},
     Shop("A > B SHOP"),
     0},
    // The payee aggregate's NAME (and address) only where the transaction
    // has no NAME of its own, wherever the two stand.
    {"OwnNameBeforeThePayeesName",
     {kType,
      kDate,
      kAmount,
      {nullptr, "<PAYEE>"},
      {"NAME", "ABC Company Payment Processing"},
      {"ADDR1", "1 MAIN ST"},
      {nullptr, "</PAYEE>"},
      {"NAME", "ABC Company"}},
     Shop("ABC Company"),
     0},
    {"PayeesNameBeforeTheMemo",
     {kType,
      kDate,
      kAmount,
      {"MEMO", "WATER BILL"},
      {nullptr, "<PAYEE>"},
      {"NAME", "COUNTY WATER DEPT"},
      {"CITY", "SPRINGFIELD"},
      {nullptr, "</PAYEE>"}},
     Shop("COUNTY WATER DEPT"),
     0},
    {"CommentedOutTransactionIsSkipped",
     {kType,
      kDate,
      kAmount,
      {nullptr, "<!-- <STMTTRN><TRNTYPE>CREDIT\n<TRNAMT>-999\n</STMTTRN> -->"},
      {"NAME", "SHOP"}},
     Shop("SHOP"),
     0},
    {"CommentInsideAValue",
     {kType, kDate, kAmount, {"NAME", "CORNER<!-- no. 12 --> SHOP"}},
     Shop("CORNER SHOP"),
     0},
    {"CdataPayee",
     {kType, kDate, kAmount, {"NAME", "<![CDATA[EFTPOS WDL HANDYWAY ALDI STORE  ]]>"}},
     Shop("EFTPOS WDL HANDYWAY ALDI STORE"),
     0},
    // Each line end in it, whichever kind, is one blank.
    {"CdataWithMarkupAndALineEnd",
     {kType, kDate, kAmount, {"NAME", "FOO <![CDATA[<B&Q> -->\nLTD]]>"}},
     Shop("FOO <B&Q> --> LTD"),
     0},
    {"AmountOfBlanksFails", {kType, kDate, {"TRNAMT", " "}, {"NAME", "SHOP"}}, "", 1},
    {"AmountOfASignFails", {kType, kDate, {"TRNAMT", "-"}, {"NAME", "SHOP"}}, "", 1},
    {"AmountOfWordsFails", {kType, kDate, {"TRNAMT", "N/A"}, {"NAME", "SHOP"}}, "", 1},
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class TransactionRules : public testing::TestWithParam<RuleCase> {};

TEST_P(TransactionRules, HoldInSgmlAndXmlOnOneLineAndOneTagPerLine) {
  const RuleCase& c = GetParam();
  for (bool xml : {false, true}) {
    for (bool tag_per_line : {false, true}) {
      for (std::string_view end : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(testing::Message()
                     << (xml ? "XML" : "SGML")
                     << (tag_per_line ? ", one tag per line" : ", one line") << " "
                     << testing::PrintToString(end));
        std::uint64_t failed = 99;
        EXPECT_EQ(
            ConvertText(WithLineEnds(Written(c.pieces, xml, tag_per_line), end), &failed),
            "!Type:Bank\r\n" + c.records);
        EXPECT_EQ(failed, c.failed);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, TransactionRules, testing::ValuesIn(kRules),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ledgerlift
