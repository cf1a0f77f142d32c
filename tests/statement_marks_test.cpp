#include "statement/statement_marks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace ledgerlift {
namespace {

// What a file's structure tells, whatever the blocks it comes in: a mark,
// a comment or the closing tag split between blocks counts.
TEST(StatementMarks, StructureInAnyBlocks) {
  const std::string sgml = "OFXHEADER:100\r\nDATA:OFXSGML\r\n\r\n<OFX>\r\n";
  const std::string bank_error =
      "<OFX><SIGNONMSGSRSV1><SONRS><STATUS><CODE>0<SEVERITY>INFO</STATUS></SONRS>"
      "</SIGNONMSGSRSV1><BANKMSGSRSV1><STMTTRNRS><STATUS><CODE>2003<SEVERITY>ERROR"
      "<MESSAGE> Account &amp; PIN do not match </STATUS></STMTTRNRS></BANKMSGSRSV1>"
      "</OFX>";
  const struct {
    const char* name;
    std::string text;
    bool empty, ofx, closed;
    const char* error_code = nullptr;  // and its message
    const char* error_message = "";
  } cases[] = {
      {"empty file", "", true, false, false},
      {"blank lines only", " \r\n\t\n", true, false, false},
      {"SGML header, cut off", sgml + "<BANKMSGSRSV1>", false, true, false},
      {"SGML header after a byte-order mark and blank lines",
       "\xEF\xBB\xBF\r\n  \r\nOFXHEADER:100\r\n</OFX>", false, true, true},
      {"XML declaration, then the OFX header",
       "<?xml version=\"1.0\"?>\n<?OFX OFXHEADER=\"200\"?>\n<OFX></OFX>\n", false, true,
       true},
      {"a bare OFX tag late in the file, closed, NULs after it",
       std::string(100, ' ') + "<OFX></OFX>\r\n\0\0"s, false, true, true},
      {"closed by a tag split by blanks is not closed", "<OFX></OF X>", false, true,
       false},
      {"closed inside a value", "<OFX><NAME>x</OFX>y", false, true, false},
      {"transaction lines without a header", "junk<STMTTRN><TRNAMT>1", false, false,
       false},
      {"a page whose text mentions the header", "<html><p>OFXHEADER:100</p></html>",
       false, false, false},
      {"an OFX tag in a comment", "<html><!-- <OFX> --></html>", false, false, false},
      {"an OFX tag in CDATA", "<x><![CDATA[<OFX>]]></x>", false, false, false},
      {"an OFX tag after the transactions begin", "<STMTTRN><OFX>", false, false, false},
      {"lower-case tags", "<ofx><stmttrn></ofx>", false, false, false},
      {"PDF", "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n1 0 obj <</Type /Catalog>>", false, false,
       false},
      {"a bank's error response", bank_error, false, true, true, "2003",
       "Account &amp; PIN do not match"},
      {"a status of 0 is no error", "<OFX><STATUS><CODE>000<MESSAGE>OK</STATUS></OFX>",
       false, true, true},
      {"the message of a later status is not the error's",
       "<OFX><STATUS><CODE>15500</STATUS><STATUS><CODE>0<MESSAGE>fine</STATUS></OFX>",
       false, true, true, "15500", ""},
      {"a status after the transactions begin is not read",
       "<OFX><STMTTRN></STMTTRN><STATUS><CODE>2000</STATUS></OFX>", false, true, true},
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
      EXPECT_EQ(marks.empty(), c.empty);
      EXPECT_EQ(marks.ofx(), c.ofx);
      EXPECT_EQ(marks.ends_closed(), c.closed);
      ASSERT_EQ(marks.bank_error().has_value(), c.error_code != nullptr);
      if (c.error_code) {
        EXPECT_EQ(marks.bank_error()->code, c.error_code);
        EXPECT_EQ(marks.bank_error()->message, c.error_message);
      }
    }
  }
}

}  // namespace
}  // namespace ledgerlift
