// ledgerlift: converts the QFX statements named on the command line into QIF
// files beside them, or, started without an argument, shows the window
// explaining so.

#include "files/real_file_system.h"
#include "launch/command_line.h"
#include "linux/platform-linux.h"
#include "program/program.h"

int main(int argc, char** argv) {
  using namespace ledgerlift;
  const CommandLine command_line = CommandLineFromArgv(argc, argv);
  switch (TerminalRequestOf(command_line)) {
    case TerminalRequest::kHelp:
      return PrintToStandardOutput(kTerminalHelp);
    case TerminalRequest::kVersion:
      return PrintToStandardOutput(kVersionLine);
    case TerminalRequest::kNone:
      break;
  }
  const LinuxStart start = LinuxStartOf(command_line);
  LinuxPlatform platform(start.from_desktop);
  RealFileSystem files;
  Program program(platform, files, '/', HomeFolder());
  if (std::optional<int> status = program.Load(start.files)) return *status;
  return platform.RunWindow(program);
}
