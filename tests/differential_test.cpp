// The fast converter against the plain reference reader: the same register
// and the same failed count for handwritten statements, generated ones of
// every layout, and random statements made of the pieces that matter, cut
// into blocks of every size.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fixtures.h"
#include "reference_reader.h"
#include "statement/converter.h"
#include "statement_generator.h"

namespace ledgerlift {
namespace {

using testing_reference::ReferenceConvert;
using testing_support::Converted;
using testing_support::Read;

Converted Reference(std::string_view input) {
  Converted result;
  result.out = ReferenceConvert(input, &result.failed);
  return result;
}

Converted InBlocks(std::string_view input, size_t block) {
  return testing_support::InBlocks(input, {block});
}

// The pieces random statements are made of: every tag the converter acts
// on, in every spelling that is almost one, values good and bad, the bytes
// that end values, segments and lines, and what opens and closes comments
// and CDATA sections.
constexpr std::array<std::string_view, 71> kPieces = {
    "<STMTTRN>", "<STMTTRN>", "</STMTTRN>", "STMTTRN>", "<stmttrn>", "<STMTTRN",
    "<TRNTYPE>", "DEBIT", "<DTPOSTED>", "20110302", "20110302120000.000[-5:EST]", "TODAY",
    "2011", "<TRNAMT>", "-12.50", "<NAME>", "CORNER SHOP", "<MEMO>", "CARD 55", "</NAME>",
    "</TRNAMT>", "</BANKTRANLIST>", "</INVBANKTRAN>", "<INVBANKTRAN>", "<BAL>",
    "<FITID>77", "\r\n", "\r\n", "\n", "\r", "<", ">", " ", "\t", "NAME>", "TRNAMT>",
    "/STMTTRN>", "<NAMES>", "<DTPOSTEDX>",
    "<TRNTYPE>CREDIT<DTPOSTED>20111231<TRNAMT>5.00", "&amp;", "\xC9", "",
    "<NAME>A NAME LONGER THAN SIXTEEN BYTES, AND LONGER STILL", "<!--", "-->", "-",
    "<![CDATA[", "]]>", "]", "<!", "<PAYEE>", "</PAYEE>", "<STMTRS>", "<CCSTMTRS>",
    "<INVSTMTRS>", "<ACCTID>", " 4111 ", "N/A",
    // References, decoded or kept; UTF-8 and bytes that are not.
    "&#38;", "&#x3c;", "&#10;", "&AMP;", "&", "&#233;", "\xC3\xA9", "\xE9\x80",
    // A value on the line after its tag.
    "\r\nXFER", "\n  -7.25 ", " \t"};

// The pieces of investment statements and security lists, which half the
// random statements hold too: the tags that begin them and what they
// hold, values good and bad, a whole trade (to be cut at every place) with
// the security that names it, and a security no list names.
constexpr std::array<std::string_view, 40> kInvestmentPieces = {
    "<INVSTMTRS>",
    "<SECLIST>",
    "<BUYSTOCK>",
    "</BUYSTOCK>",
    "<SELLMF>",
    "<INCOME>",
    "<REINVEST>",
    "<TRANSFER>",
    "<SPLIT>",
    "<JRNLFUND>",
    "<MARGININTEREST>",
    "<INVBANKTRAN>",
    "<DTTRADE>",
    "20240108",
    "<UNIQUEID>",
    "14753K108",
    "<UNITS>",
    "-40.50",
    "<UNITPRICE>",
    "<COMMISSION>",
    "<FEES>",
    "<TOTAL>",
    "<INCOMETYPE>DIV",
    "<TFERACTION>IN",
    "<NUMERATOR>2<DENOMINATOR>1",
    "<SELLTYPE>SELLSHORT",
    "<SECINFO>",
    "</SECINFO>",
    "<SECNAME>",
    "<TICKER>CSTB",
    "</INVTRANLIST>",
    "</INVSTMTRS>",
    "</SECLIST>",
    "<UNIQUEID>X2",
    "<BUYSTOCK><INVTRAN><DTTRADE>20240108</INVTRAN><SECID><UNIQUEID>X1</SECID>"
    "<UNITS>2<UNITPRICE>3.5<COMMISSION>1<FEES>0.25<TOTAL>-8.25</BUYSTOCK>",
    "<SECINFO><UNIQUEID>X1<SECNAME>NAMED X1</SECINFO>",
    "<INVBANKTRAN><STMTTRN><DTPOSTED>20240105<TRNAMT>-5.00<NAME>WIRE</STMTTRN>",
    "\r\n<UNITS>\r\n 12 ",
    "<TOTAL>N/A",
    "<UNITPRICE>&#49;.5"};

std::string RandomStatement(std::mt19937& random) {
  const bool investment = random() % 2;
  // Half of those begin as an investment statement; the others may turn
  // into one anywhere.
  std::string text = investment && random() % 2 ? "<INVSTMTRS>" : "";
  const size_t pieces = random() % 120;
  for (size_t i = 0; i < pieces; ++i) {
    const size_t piece = random() % (kPieces.size() + kInvestmentPieces.size());
    text += piece < kPieces.size() || !investment
                ? kPieces[piece % kPieces.size()]
                : kInvestmentPieces[piece - kPieces.size()];
  }
  return text;
}

TEST(Differential, RandomStatementsAsTheReferenceReadsThem) {
  std::mt19937 random(20240323);
  for (int i = 0; i < 20000; ++i) {
    const std::string input = RandomStatement(random);
    const Converted expected = Reference(input);
    ASSERT_TRUE(InBlocks(input, kReadBlockSize) == expected)
        << testing::PrintToString(input);
    // Registers that keep the statement's bytes differ only in their text.
    Converted kept;
    kept.out = ReferenceConvert(input, &kept.failed, false);
    ASSERT_TRUE(
        testing_support::InBlocks(input, {kReadBlockSize}, TextEncoding::kAsRead) == kept)
        << testing::PrintToString(input);
  }
}

// Every block size from one byte to the whole input, so that every piece is
// cut at every place once.
TEST(Differential, RandomStatementsAtEveryBlockSize) {
  std::mt19937 random(77);
  for (int i = 0; i < 300; ++i) {
    const std::string input = RandomStatement(random);
    const Converted expected = Reference(input);
    for (size_t block = 1; block <= input.size(); ++block) {
      ASSERT_TRUE(InBlocks(input, block) == expected)
          << "block " << block << " of " << testing::PrintToString(input);
    }
  }
}

TEST(Differential, GeneratedStatementsOfEveryLayout) {
  for (bench::Layout layout : bench::kEveryLayout) {
    for (std::string_view end : {"\r\n", "\n", "\r"}) {
      const std::string input = bench::GenerateStatement(
          {.count = 300, .seed = 5, .layout = layout, .line_end = end});
      const Converted expected = Reference(input);
      for (size_t block : {size_t{1}, size_t{13}, size_t{64}, kReadBlockSize}) {
        EXPECT_TRUE(InBlocks(input, block) == expected)
            << bench::LayoutName(layout) << ", block " << block;
      }
    }
  }
}

TEST(Differential, ExamplesAndFuzzingSeeds) {
  size_t files = 0;
  for (const char* folder : {LEDGERLIFT_EXAMPLES, LEDGERLIFT_CONVERTER_CORPUS}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() != ".qfx") continue;
      ++files;
      const std::string input = Read(entry.path());
      const Converted expected = Reference(input);
      for (size_t block = 1; block <= 70; ++block) {
        EXPECT_TRUE(InBlocks(input, block) == expected)
            << entry.path().filename() << ", block " << block;
      }
    }
  }
  EXPECT_GE(files, 10u);
}

}  // namespace
}  // namespace ledgerlift
