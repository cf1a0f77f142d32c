// ledgerlift.exe: converts the QFX statement named on the command line (a
// file dropped on the program's icon, or a double-clicked associated one)
// into a QIF file beside it; started without a path, shows the window that
// explains so.

#include <windows.h>

#include <clocale>
#include <optional>

#include "window/command_line.h"
#include "window/form-win32.h"
#include "window/form.h"
#include "window/platform-win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  // Paths are texts in the system code page: the C library converts them
  // with the user's code page, as the file functions do.
  std::setlocale(LC_CTYPE, "");
  ledgerlift::Win32Platform platform;
  ledgerlift::Form1 form(platform, '\\', "C:\\");
  if (const std::optional<int> status =
          form.Load(ledgerlift::CommandLineFromWindows(GetCommandLineA()))) {
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
