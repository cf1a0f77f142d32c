// ledgerlift.exe: converts the QFX statement named on the command line (a
// file dropped on the program's icon, or a double-clicked associated one)
// into a QIF file beside it; started without a path, shows the window that
// explains so.

#include <windows.h>

#include <objbase.h>

#include <clocale>
#include <optional>
#include <string>

#include "window/form-win32.h"
#include "window/form.h"
#include "window/platform-win32.h"
#include "window/windows_command_line.h"

namespace {

std::string SystemReason(DWORD error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = length ? std::string(text, length) : "error " + std::to_string(error);
  LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.')) {
    reason.pop_back();
  }
  return reason;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  // Paths are texts in the system code page: the C library converts them
  // with the user's code page, as the file functions do.
  std::setlocale(LC_CTYPE, "");
  ledgerlift::Win32Platform platform;
  ledgerlift::Form1 form(platform, '\\', "C:\\");
  if (const std::optional<int> status =
          form.Load(ledgerlift::ArgumentsAfterProgramName(GetCommandLineA()))) {
    return *status;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the folder browser
  ledgerlift::Form1Window window(form, platform);
  if (!window.Create(instance)) {
    platform.ShowMessage("Error: cannot create the window: " + SystemReason(GetLastError()));
    return 2;
  }
  return window.Run(show_command);
}
