// ledgerlift.exe: converts the QFX statements named on the command line
// (files dropped on the program's icon, or a double-clicked associated one)
// into QIF files beside them; started without an argument, shows the window
// that explains so.

#include <windows.h>

#include <optional>

#include "window/command_line.h"
#include "files/real_file_system.h"
#include "window/form-win32.h"
#include "window/form.h"
#include "window/platform-win32.h"
#include "files/utf16-win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  ledgerlift::Win32Platform platform;
  ledgerlift::RealFileSystem files;
  ledgerlift::Form1 form(platform, files, '\\', "C:\\");
  if (const std::optional<int> status = form.Load(
          ledgerlift::CommandLineFromWindows(ledgerlift::Utf16ToUtf8(GetCommandLineW())))) {
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
