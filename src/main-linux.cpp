// ledgerlift: converts the QFX statement named on the command line into a QIF
// file beside it, or, started without a path, shows the window explaining so.

#include <cstdio>
#include <string>

#include "files/real_file_system.h"
#include "window/form.h"
#include "window/layout.h"
#include "window/platform-linux.h"

int main(int argc, char** argv) {
  const std::string command_line = ledgerlift::CommandLine(argc, argv);
  if (command_line == "--help" || command_line == "--version") {
    std::fputs(command_line == "--help" ? ledgerlift::TerminalHelp().data()
                                        : "Ledgerlift 1.0.0\n",
               stdout);
    return 0;
  }
  ledgerlift::LinuxPlatform platform(ledgerlift::IsDesktopStart());
  ledgerlift::RealFileSystem files;
  ledgerlift::Form1 form(platform, files, '/', ledgerlift::HomeFolder());
  if (std::optional<int> status = form.Load(command_line)) return *status;
  return platform.RunWindow(form);
}
