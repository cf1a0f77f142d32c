// ledgerlift.exe: converts the QFX statements named on the command line
// (files dropped on the program's icon, or a double-clicked associated one)
// into QIF files beside them; started without an argument, shows the window
// that explains so.

#include <windows.h>

#include <optional>

#include "files/real_file_system.h"
#include "files/utf16-win32.h"
#include "launch/command_line.h"
#include "program/program.h"
#include "window/win32/platform-win32.h"
#include "window/win32/window-win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  using namespace ledgerlift;
  Win32Platform platform;
  RealFileSystem files;
  // Finance programs on Windows read a register in the ANSI code page: the
  // bytes stay as the bank sent them.
  Program program(platform, files, '\\', "C:\\", TextEncoding::kAsRead);
  const CommandLine command_line = CommandLineFromWindows(Utf16ToUtf8(GetCommandLineW()));
  if (const std::optional<int> status = program.Load(command_line)) return *status;
  WindowWin32 window(program, platform);
  if (!window.Create(instance))
    return program.WindowNotCreated(SystemErrorText(GetLastError()));
  return window.Run(show_command);
}
