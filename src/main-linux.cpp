// ledgerlift: converts the QFX statement named on the command line into a QIF
// file beside it, or, started without a path, shows the window explaining so.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "window/form.h"
#include "window/layout.h"
#include "window/platform-console.h"

namespace {

// The command line as one text: the arguments joined with single blanks, so
// an unquoted path with blanks arrives whole, as the shell would pass it.
std::string CommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command_line = CommandLine(argc, argv);
  if (command_line == "--help" || command_line == "--version") {
    std::fputs(command_line == "--help" ? ledgerlift::TerminalHelp().data()
                                        : "Ledgerlift 1.0.0\n",
               stdout);
    return 0;
  }
  ledgerlift::ConsolePlatform platform;
  ledgerlift::Form1 form(platform, '/', HomeFolder());
  return form.Load(command_line).value_or(0);
}
