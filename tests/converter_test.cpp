#include "statement/converter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fixtures.h"
#include "statement/byte_classes.h"

namespace ledgerlift {
namespace {

using testing_support::kHeader;
using testing_support::kShopLine;
using testing_support::kShopRecord;

struct StepCase {
  const char* name;
  std::string input;
  std::string records;  // the output after the header
  std::uint64_t failed;
};

std::string Transaction(const std::string& name) {
  return "<STMTTRN><TRNTYPE>CREDIT<DTPOSTED>20111231<TRNAMT>5.00<NAME>" + name;
}

const StepCase kStepCases[] = {
    {"ExampleLine", kShopLine, kShopRecord, 0},
    {"ClosingTagAfterEachValue",
     "<STMTTRN><TRNTYPE>DEBIT</TRNTYPE><DTPOSTED>20110302</DTPOSTED>"
     "<TRNAMT>-12.50</TRNAMT><NAME>CORNER SHOP</NAME></STMTTRN>",
     kShopRecord, 0},
    {"FieldsBeforeTheTransactionTagAreIgnored",
     "<TRNTYPE>CREDIT<NAME>EARLY<STMTTRN><DTPOSTED>20110302<TRNAMT>-12.50", "", 1},
    {"TwoTransactionsOnALineGiveTwoRecords", Transaction("FIRST") + Transaction("SECOND"),
     "D12-31-2011\r\nPFIRST\r\nT5.00\r\nMCREDIT\r\n^\r\n"
     "D12-31-2011\r\nPSECOND\r\nT5.00\r\nMCREDIT\r\n^\r\n",
     0},
    {"IncompleteFirstOfTwoCountsOnce", "<STMTTRN><NAME>NO DATE" + Transaction("WHOLE"),
     "D12-31-2011\r\nPWHOLE\r\nT5.00\r\nMCREDIT\r\n^\r\n", 1},
    {"ValuesDoNotPassBetweenTransactions",
     Transaction("WHOLE") + "<STMTTRN><NAME>ONLY A NAME",
     "D12-31-2011\r\nPWHOLE\r\nT5.00\r\nMCREDIT\r\n^\r\n", 1},
    // NAME is optional: MEMO stands in for it, or the payee stays empty.
    {"MissingNameLeavesThePayeeEmpty",
     "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>1",
     "D03-02-2011\r\nP\r\nT1\r\nMDEBIT\r\n^\r\n", 0},
    {"EmptyNameGivesWayToTheMemo", Transaction("") + "<MEMO>X",
     "D12-31-2011\r\nPX\r\nT5.00\r\nMCREDIT\r\n^\r\n", 0},
    {"EmptyNameAtEndOfLine", Transaction(""),
     "D12-31-2011\r\nP\r\nT5.00\r\nMCREDIT\r\n^\r\n", 0},
    {"NameWinsOverMemoWhereverItStands",
     "<STMTTRN><MEMO>CARD 55<TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50"
     "<NAME>CORNER SHOP<MEMO>LATER",
     kShopRecord, 0},
    {"MissingTypeFails", "<STMTTRN><DTPOSTED>20110302<TRNAMT>1<NAME>X", "", 1},
    {"MissingAmountFails", "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<NAME>X", "", 1},
    // Blanks around a value are no part of it; a value of blanks is none.
    {"BlanksAroundValuesAreRemoved",
     "<STMTTRN><TRNTYPE> DEBIT\t<DTPOSTED> 20110302 <TRNAMT>13318.36 <NAME>\tSHOP ",
     "D03-02-2011\r\nPSHOP\r\nT13318.36\r\nMDEBIT\r\n^\r\n", 0},
    {"BlankNameGivesWayToTheMemo", Transaction(" \t ") + "<MEMO> X Y ",
     "D12-31-2011\r\nPX Y\r\nT5.00\r\nMCREDIT\r\n^\r\n", 0},
    {"LowerCaseTagIsNoTransactionLine",
     "<stmttrn><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>1<NAME>X", "", 0},
    {"LowerCaseKeysAreNotCaptured",
     "<STMTTRN><trntype>DEBIT<DTPOSTED>20110302<TRNAMT>1<NAME>X", "", 1},
    {"TransactionOverSeveralLines",
     "<STMTTRN>\r\n<TRNTYPE>DEBIT\r\n<DTPOSTED>20110302\r\n<TRNAMT>-1\r\n"
     "<NAME>X\r\n</STMTTRN>\r\n<STMTTRN>\r\n<NAME>Y\r\n</STMTTRN>\r\n",
     "D03-02-2011\r\nPX\r\nT-1\r\nMDEBIT\r\n^\r\n", 1},
    // A balance's NAME after the list's end is no payee of the transaction.
    {"NothingIsCapturedAfterTheClosingTag",
     "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<MEMO>CORNER SHOP"
     "</STMTTRN></BANKTRANLIST><BAL><NAME>Overdraft limit<VALUE>500</BAL>",
     "D03-02-2011\r\nPCORNER SHOP\r\nT-12.50\r\nMDEBIT\r\n^\r\n", 0},
    {"DateThatIsNoNumberFailsOnlyItsTransaction",
     "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>TODAY<TRNAMT>1<NAME>X\n" + std::string(kShopLine),
     kShopRecord, 1},
    {"DateWithTimeZone",
     "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302120000.000[-5:EST]<TRNAMT>-12.50"
     "<NAME>CORNER SHOP",
     kShopRecord, 0},
    {"DateOutsideATransactionIsNeverRead",
     "<DTPOSTED>TODAY<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50"
     "<NAME>CORNER SHOP\n<DTPOSTED>NEVER\n",
     kShopRecord, 0},
    {"GreaterThanKeptInAValue", Transaction("A>B") + "<MEMO>>",
     "D12-31-2011\r\nPA>B\r\nT5.00\r\nMCREDIT\r\n^\r\n", 0},
    // The payee aggregate's NAME completes a transaction that stands whole
    // on its line, as the transaction's own NAME does.
    {"PayeesNameCompletesTheLine",
     "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<PAYEE><NAME>CORNER SHOP"
     "</PAYEE>\n<NAME>NOT THE PAYEE\n",
     kShopRecord, 0},
    // Its line ends are none: the line goes on, and so does the transaction.
    {"CommentCarriesTheLineOn",
     "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<NAME>FIRST<!-- one\rtwo\r\n"
     "three\n--><NAME>CORNER SHOP",
     kShopRecord, 0},
    // Markup that never closes runs to the end of the input.
    {"OpenCommentRunsToTheEnd", std::string(kShopLine) + "\n<!-- " + kShopLine,
     kShopRecord, 0},
    {"OpenCdataRunsToTheEnd", Transaction("A<![CDATA[B]]"),
     "D12-31-2011\r\nPAB]]\r\nT5.00\r\nMCREDIT\r\n^\r\n", 0},
    {"CommentInsideAKeyMakesNoTag",
     "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<NA<!-- -->ME>X",
     "D03-02-2011\r\nP\r\nT-12.50\r\nMDEBIT\r\n^\r\n", 0},
    // The register holds the text: references decoded, UTF-8 (as Linux's
    // finance programs read it) from Windows-1252 bytes.
    {"ReferencesAreDecoded", Transaction("5TH &amp; MAIN &#60;&#x3E; PG&E &#10;"),
     "D12-31-2011\r\nP5TH & MAIN <> PG&E &#10;\r\nT5.00\r\nMCREDIT\r\n^\r\n", 0},
    {"Windows1252BytesBecomeUtf8", Transaction(std::string("CAF\xC9 \x00\x80", 7)),
     "D12-31-2011\r\nPCAF\xC3\x89 " + std::string(1, '\0') +
         "\xE2\x82\xAC\r\nT5.00\r\nMCREDIT\r\n^\r\n",
     0},
    {"LastValueOfAFieldWins",
     "<STMTTRN><NAME>FIRST<TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<NAME>CORNER "
     "SHOP",
     kShopRecord, 0},
    {"TransactionTagWithoutAnyFieldFails", "<STMTTRN>", "", 1},
    {"LineWithoutTransactionIsIgnored", "<BANKTRANLIST><DTSTART>20110101", "", 0},
    {"EmptyInput", "", "", 0},
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

class TransactionSteps : public testing::TestWithParam<StepCase> {};

TEST_P(TransactionSteps, WriteRecordsOrCountFailures) {
  const StepCase& c = GetParam();
  std::uint64_t failed = 99;
  EXPECT_EQ(ConvertText(c.input, &failed), kHeader + c.records);
  EXPECT_EQ(failed, c.failed);
}

INSTANTIATE_TEST_SUITE_P(Lines, TransactionSteps, testing::ValuesIn(kStepCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every way of ending lines gives the same records, also for the last line.
TEST(LineEnds, CrLfLfAndLoneCrAllEndALine) {
  const std::string line = kShopLine;
  const std::string expected = kHeader + std::string(kShopRecord) + kShopRecord;
  for (const char* end : {"\r\n", "\n", "\r"}) {
    for (const char* last : {"", "\r\n", "\n", "\r"}) {
      std::uint64_t failed = 0;
      EXPECT_EQ(ConvertText(line + end + line + last, &failed), expected)
          << "end " << testing::PrintToString(end) << " last "
          << testing::PrintToString(last);
      EXPECT_EQ(failed, 0u);
    }
  }
}

// "<NA" CR "ME>X" is no NAME tag: the CR ends the line between the two.
TEST(LineEnds, CrInsideAKeyEndsTheLine) {
  std::uint64_t failed = 9;
  EXPECT_EQ(
      ConvertText("<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>1<NA\rME>X", &failed),
      std::string(kHeader) + "D03-02-2011\r\nP\r\nT1\r\nMDEBIT\r\n^\r\n");
  EXPECT_EQ(failed, 0u);
}

class CountingSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override {
    out.append(bytes);
    ++writes;
  }
  std::string out;
  int writes = 0;
};

TEST(Blocks, LargeOutputIsWrittenInBlocksEvenFromOneLine) {
  std::string one_line;
  while (one_line.size() < 3 * OutputBuffer::kBlock) one_line += kShopLine;
  CountingSink sink;
  Converter converter(sink);
  converter.Feed(one_line);
  converter.Finish();
  EXPECT_GT(sink.writes, 1);
  EXPECT_EQ(converter.failed_count(), 0u);
}

// The portable marking of bytes, used where SSE2 is missing, marks exactly
// what the SSE2 one (and the AVX2 one, where the processor has it) marks, and
// the bytes past a block's end are no marks.
TEST(MarkBytes, PortableAndSimdAgree) {
  std::mt19937 random(5);
  const char alphabet[] = {'<',  '>',    '\r',   '\n',   'A',    ' ',    '\t',  '&',
                           '\0', '\xBC', '\xBE', '\x8D', '\x3D', '\x89', '\xA0'};
  for (int round = 0; round < 20000; ++round) {
    char bytes[64];
    for (char& byte : bytes) {
      byte =
          round % 2 ? alphabet[random() % sizeof alphabet] : static_cast<char>(random());
    }
    const Marks portable = MarkBytesPortable(bytes);
    EXPECT_EQ(portable, MarkBytes(bytes));
#if defined(LEDGERLIFT_HAS_AVX2_MARKING)
    if (HasAvx2()) {
      EXPECT_EQ(portable, MarkBytesAvx2(bytes));
    }
#endif
    std::uint64_t starts = 0, line_ends = 0, no_key = 0, text = 0;
    for (int i = 0; i < 64; ++i) {
      if (bytes[i] == '\r' || bytes[i] == '\n') line_ends |= 1ull << i;
      if (bytes[i] == '<') starts |= 1ull << i;
      const auto byte = static_cast<unsigned char>(bytes[i]);
      if (byte <= ' ' || byte >= 0x80) no_key |= 1ull << i;
      if (byte == '&' || byte >= 0x80) text |= 1ull << i;
    }
    starts |= line_ends;
    ASSERT_EQ(portable, (Marks{starts, line_ends, no_key, FoldedText(text)}))
        << "round " << round;
    const size_t size = random() % 64;
    const Marks last = MarkLastBytes(bytes, size);
    const std::uint64_t kept = (std::uint64_t{1} << size) - 1;
    ASSERT_EQ(last, (Marks{starts & kept, line_ends & kept, no_key & kept,
                           FoldedText(text & kept)}))
        << "round " << round;
  }
}

}  // namespace
}  // namespace ledgerlift
