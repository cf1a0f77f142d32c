// ledgerlift.exe: converts the QFX statement named on the command line (a
// file dropped on the program's icon, or a double-clicked associated one)
// into a QIF file beside it; started without a path, shows the window that
// explains so.

#include <windows.h>

#include <clocale>
#include <optional>

#include "files/real_file_system.h"
#include "window/form-win32.h"
#include "window/form.h"
#include "window/platform-win32.h"
#include "window/windows_command_line.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  // The C library's texts follow the user's code page.
  std::setlocale(LC_CTYPE, "");
  ledgerlift::Win32Platform platform;
  ledgerlift::RealFileSystem files;
  ledgerlift::Form1 form(platform, files, '\\', "C:\\");
  // The command line comes in the system code page; behind it, texts are UTF-8.
  if (const std::optional<int> status = form.Load(ledgerlift::AnsiToUtf8(
          ledgerlift::ArgumentsAfterProgramName(GetCommandLineA())))) {
    return *status;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the folder browser
  ledgerlift::Form1Window window(form, platform);
  if (!window.Create(instance)) {
    platform.ShowMessage("Error 7: cannot create the window: " +
                         ledgerlift::SystemErrorText(GetLastError()));
    return 2;
  }
  return window.Run(show_command);
}
