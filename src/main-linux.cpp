// ledgerlift: converts the QFX statements named on the command line into QIF
// files beside them, or, started without an argument, shows the window
// explaining so.

#include "files/real_file_system.h"
#include "launch/command_line.h"
#include "linux/platform-linux.h"
#include "program/program.h"

int main(int argc, char** argv) {
  using namespace ledgerlift;
  RealFileSystem files;
  const LinuxStart start =
      LinuxStartOf(CommandLineFromArgv(argc, argv),
                   [&files](const std::string& path) { return files.Exists(path); });
  switch (start.request) {
    case TerminalRequest::kHelp:
      return PrintToStandardOutput(kTerminalHelp);
    case TerminalRequest::kVersion:
      return PrintToStandardOutput(kVersionLine);
    case TerminalRequest::kUnknownOption:
    case TerminalRequest::kOptionNotAlone:
      return PrintOptionMessage(OptionMessage(start.request, start.option));
    case TerminalRequest::kNone:
      break;
  }
  LinuxPlatform platform(TakeDesktopStart());
  // Finance programs on Linux read a register as UTF-8.
  Program program(platform, files, '/', HomeFolder(), TextEncoding::kUtf8);
  if (std::optional<int> status = program.Load(start.files)) return *status;
  return platform.RunWindow(program);
}
