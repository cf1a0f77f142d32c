#include "window/win32/platform-win32.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <string>
#include <vector>

#include "files/owners-win32.h"
#include "files/utf16-win32.h"
#include "window/layout.h"

namespace ledgerlift {
namespace {

// The longest path Windows takes, in UTF-16 units with its NUL.
constexpr size_t kLongestPath = 32768;

// The file chooser's filters as the open-file dialog takes them: name and
// pattern, each ended by a NUL, the list by a second NUL. Windows matches
// them in any letter case.
std::wstring InputFilter() {
  std::wstring filter;
  for (const FileFilter& entry : kStatementFilters) {
    filter += Utf8ToUtf16(entry.name) + L'\0';
    filter += L"*." + (entry.extension.empty() ? std::wstring(L"*")
                                               : Utf8ToUtf16(entry.extension));
    filter += L'\0';
  }
  return filter;  // the string's own NUL ends the list
}

// Standard error when the caller redirected it to a file or a pipe: a GUI
// program started from Explorer has none, one started from a console has
// the console, where a line would go unseen once the program ends.
HANDLE RedirectedStandardError() {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return nullptr;
  const DWORD type = GetFileType(error);
  return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE ? error : nullptr;
}

// Writes `text` as UTF-8 bytes, every line ended as Windows ends lines; a
// failure is not reported, there is nowhere left to report it.
void WriteLines(HANDLE file, const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\n') line += '\r';
    line += c;
  }
  line += "\r\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

bool Win32Platform::MessagesGoToStandardError() {
  return owner_ == nullptr && RedirectedStandardError() != nullptr;
}

void Win32Platform::ShowMessage(const std::string& text) {
  // The window, once shown, owns every message: its user looks at it, not
  // at where standard error goes. A caller that redirected standard error
  // is a script: when the line cannot be written there (a full disk, a
  // closed pipe), the exit status still tells it; a box would only keep it
  // waiting for a click no one makes.
  if (owner_ == nullptr) {
    if (const HANDLE error = RedirectedStandardError()) {
      WriteLines(error, text);
      return;
    }
  }
  MessageBoxW(owner_, Utf8ToUtf16(text).c_str(), Utf8ToUtf16(kMessageCaption).c_str(),
              MB_OK);
}

std::optional<std::string> Win32Platform::ChooseFolder() {
  BROWSEINFOW request{};
  request.hwndOwner = owner_;
  request.pidlRoot = nullptr;
  request.pszDisplayName = nullptr;
  const std::wstring prompt = Utf8ToUtf16(kFolderChooserTitle);
  request.lpszTitle = prompt.c_str();
  request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;  // 3
  request.lpfn = nullptr;
  request.lParam = 0;
  request.iImage = 0;
  const CoTaskMemory<PIDLIST_ABSOLUTE> items(SHBrowseForFolderW(&request));
  if (!items.valid()) return std::nullopt;  // cancelled
  // A folder's path may be longer than MAX_PATH, which is all that
  // SHGetPathFromIDListW can give; the Ex form takes the buffer's size.
  std::wstring path(kLongestPath, L' ');
  const BOOL found = SHGetPathFromIDListEx(
      items.get(), path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
  // A place that is not a folder on disk gives no path: the buffer's blanks
  // are no folder, so the output folder stays as it was.
  if (!found) return std::nullopt;
  return Utf16ToUtf8(std::wstring_view(
      path.data(), wcsnlen(path.data(), path.size())));  // before the first NUL
}

std::optional<std::string> Win32Platform::ChooseInputFile() {
  std::vector<wchar_t> file(kLongestPath, L'\0');
  const std::wstring title = Utf8ToUtf16(ControlFor(ControlId::kConvertButton).text);
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner_;
  const std::wstring filter = InputFilter();
  request.lpstrFilter = filter.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = file.data();
  request.nMaxFile = static_cast<DWORD>(file.size());
  request.lpstrTitle = title.c_str();
  // OFN_NOCHANGEDIR: a relative output folder typed into the output-folder box keeps
  // meaning the folder the program was started in.
  request.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                  OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&request)) return std::nullopt;
  return Utf16ToUtf8(file.data());
}

void Win32Platform::OpenAddress(const std::string& address) {
  // Show command 0: the browser shows itself anyway. A failure has no visible
  // effect.
  ShellExecuteW(owner_, L"open", Utf8ToUtf16(address).c_str(), L"", L"", 0);
}

}  // namespace ledgerlift
