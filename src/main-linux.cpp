// ledgerlift: converts the QFX statements named on the command line into QIF
// files beside them, or, started without an argument, shows the window
// explaining so.

#include <cstdio>
#include <string>

#include "window/command_line.h"
#include "files/real_file_system.h"
#include "window/form.h"
#include "window/layout.h"
#include "window/platform-linux.h"
#include "version.h"

int main(int argc, char** argv) {
  const ledgerlift::CommandLine command_line =
      ledgerlift::CommandLineFromArgv(argc, argv);
  if (command_line.text == "--help" || command_line.text == "--version") {
    std::fputs(command_line.text == "--help" ? ledgerlift::TerminalHelp().data()
                                             : "Ledgerlift " LEDGERLIFT_VERSION "\n",
               stdout);
    return 0;
  }
  ledgerlift::LinuxPlatform platform(ledgerlift::IsDesktopStart());
  ledgerlift::RealFileSystem files;
  ledgerlift::Form1 form(platform, files, '/', ledgerlift::HomeFolder());
  if (std::optional<int> status = form.Load(command_line)) return *status;
  return platform.RunWindow(form);
}
