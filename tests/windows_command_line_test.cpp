#include "window/windows_command_line.h"

#include <gtest/gtest.h>

namespace ledgerlift {
namespace {

// What is left of GetCommandLine's text for the launch once the program's
// own name is taken off, as Explorer, a file association and cmd.exe start it.
TEST(ArgumentsAfterProgramName, TakesOffOnlyTheProgramsName) {
  const struct {
    const char* command_line;
    const char* arguments;
  } cases[] = {
      // Explorer quotes both the program and a dropped file with blanks.
      {"\"C:\\Program Files\\ledgerlift.exe\" \"C:\\My Files\\stmt.qfx\"",
       "\"C:\\My Files\\stmt.qfx\""},
      {"\"C:\\Program Files\\ledgerlift.exe\" C:\\Data\\stmt.qfx", "C:\\Data\\stmt.qfx"},
      {"ledgerlift.exe C:\\Data\\stmt.qfx", "C:\\Data\\stmt.qfx"},
      // The blanks of an unquoted path stay: the launch does not split.
      {"ledgerlift C:\\My Files\\stmt.qfx", "C:\\My Files\\stmt.qfx"},
      {"ledgerlift \t  stmt.qfx  ", "stmt.qfx  "},
      // A quote inside an unquoted name does not start a quoted part.
      {"ledger\"lift stmt.qfx", "stmt.qfx"},
      // A quoted name ends at its closing quote, even without a blank after.
      {"\"ledgerlift.exe\"stmt.qfx", "stmt.qfx"},
      // Window mode: nothing or only blanks after the name.
      {"\"C:\\Program Files\\ledgerlift.exe\"", ""},
      {"\"C:\\Program Files\\ledgerlift.exe\"  ", ""},
      {"ledgerlift.exe", ""},
      {"", ""},
      // A name whose closing quote is missing takes the whole line.
      {"\"C:\\ledgerlift.exe stmt.qfx", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ArgumentsAfterProgramName(c.command_line), c.arguments) << c.command_line;
  }
}

}  // namespace
}  // namespace ledgerlift
