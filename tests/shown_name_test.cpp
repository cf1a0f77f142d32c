#include "run/shown_name.h"

#include <gtest/gtest.h>

#include <string>

namespace ledgerlift {
namespace {

TEST(ShownName, WritesOutControlCharactersAndKeepsTheRest) {
  using namespace std::string_literals;
  const struct {
    std::string name;
    const char* shown;
  } cases[] = {
      {"stmt.qfx", "stmt.qfx"},
      {"", ""},
      // A name that would forge a line of a gathered message.
      {"x\nError 0: all fine.qfx", "x\\nError 0: all fine.qfx"},
      {"a\r\n\tb.qfx", "a\\r\\n\\tb.qfx"},
      // Escape sequences reach no terminal.
      {"\x1b[2J.qfx", "\\x1b[2J.qfx"},
      {"\x01\x1f\x7f.qfx", "\\x01\\x1f\\x7f.qfx"},
      {"a\0b.qfx"s, "a\\x00b.qfx"},
      // Windows paths keep their backslashes; a written-out escape is
      // shown as it is, so only a real control character is escaped.
      {"C:\\Data\\x\\n.qfx", "C:\\Data\\x\\n.qfx"},
      // Characters that move or end a line in a dialog or a terminal.
      {"a\u2028b\u2029c.qfx", "a\\u2028b\\u2029c.qfx"},
      {"\u0085\u009b.qfx", "\\u0085\\u009b.qfx"},
      {"pay\u202eXFQ.exe", "pay\\u202eXFQ.exe"},
      {"\u2066\u2069.qfx", "\\u2066\\u2069.qfx"},
      // Bytes that are no UTF-8 (a raw C1 byte, Latin-1, a cut sequence, an
      // overlong form, a surrogate) are shown one by one.
      {"\x85\x9b.qfx", "\\x85\\x9b.qfx"},
      {"caf\xe9.qfx", "caf\\xe9.qfx"},
      {"\xe9\x93.qfx", "\\xe9\\x93.qfx"},
      {"\xc0\xaf\xed\xa0\x80", "\\xc0\\xaf\\xed\\xa0\\x80"},
      // Blanks, quotes and UTF-8 stay, the characters next to those above too.
      {" say \"hi\" ~.qfx", " say \"hi\" ~.qfx"},
      {"Łódź 银行.qfx", "Łódź 银行.qfx"},
      {"\u00a0\u2027\u202f\u2065💸.qfx", "\u00a0\u2027\u202f\u2065💸.qfx"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShownName(c.name), c.shown) << c.shown;
}

}  // namespace
}  // namespace ledgerlift
