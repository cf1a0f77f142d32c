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
      // Blanks, quotes and UTF-8 (from 0x80) stay.
      {" say \"hi\" ~.qfx", " say \"hi\" ~.qfx"},
      {"Łódź 银行.qfx", "Łódź 银行.qfx"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShownName(c.name), c.shown) << c.shown;
}

}  // namespace
}  // namespace ledgerlift
