#include "statement/statement_marks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ledgerlift {
namespace {

// Whatever the blocks it comes in, a file holds OFX data or does not; a
// mark split between blocks counts.
TEST(StatementMarks, FoundInAnyBlocks) {
  const struct {
    const char* name;
    std::string text;
    bool found;
  } cases[] = {
      {"SGML header", "OFXHEADER:100\r\nDATA:OFXSGML\r\n", true},
      {"XML processing instruction", "<?xml version=\"1.0\"?>\n<?OFX OFXHEADER=\"200\"?>",
       true},
      {"bare OFX tag late in the file", std::string(100, ' ') + "<OFX>", true},
      {"transaction without header", "junk<STMTTRN><TRNAMT>1", true},
      {"empty file", "", false},
      {"saved web page", "<!DOCTYPE html><html><body>Session expired</body></html>",
       false},
      {"PDF", "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n1 0 obj <</Type /Catalog>>", false},
      {"CSV export", "Date,Payee,Amount\n2011-03-02,CORNER SHOP,-12.50\n", false},
      {"lower-case tags, which no transaction is read from", "<ofx><stmttrn>", false},
      {"marks cut short", "OFXHEADER <OFX <STMTTRN", false},
  };
  const std::vector<std::vector<size_t>> block_sizes = {
      {1}, {2, 3}, {4, 1, 7}, {1 << 16}};
  for (const auto& c : cases) {
    for (const std::vector<size_t>& sizes : block_sizes) {
      SCOPED_TRACE(std::string(c.name) + ", first block of " + std::to_string(sizes[0]));
      StatementMarks marks;
      for (size_t at = 0, next = 0; at < c.text.size(); ++next) {
        const size_t size = sizes[next % sizes.size()];
        marks.Look(std::string_view(c.text).substr(at, size));
        at += size;
      }
      EXPECT_EQ(marks.found(), c.found);
    }
  }
}

}  // namespace
}  // namespace ledgerlift
