#include "files/utf16-win32.h"

#include "files/owners-win32.h"

namespace ledgerlift {
namespace {

std::wstring ToUtf16(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::wstring wide(static_cast<size_t>(
                        MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0)),
                    L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(),
                      static_cast<int>(wide.size()));
  return wide;
}

std::string FromUtf16(UINT code_page, std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::string narrow(static_cast<size_t>(WideCharToMultiByte(
                         code_page, 0, text.data(), size, nullptr, 0, nullptr, nullptr)),
                     '\0');
  WideCharToMultiByte(code_page, 0, text.data(), size, narrow.data(),
                      static_cast<int>(narrow.size()), nullptr, nullptr);
  return narrow;
}

// The path as GetFullPathNameW makes it absolute; empty where it cannot.
std::wstring FullPath(const std::wstring& path) {
  std::wstring full(path.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()),
                                        full.data(), nullptr);
    if (size == 0) return {};
    const bool fits = size < full.size();  // a size that does not fit counts the NUL
    full.resize(size);
    if (fits) return full;
  }
}

}  // namespace

std::wstring ExtendedLengthPath(std::string_view path) {
  const std::wstring given = Utf8ToUtf16(path);
  const auto system_form = [](std::wstring_view name) {
    return name.starts_with(L"\\\\?\\") || name.starts_with(L"\\\\.\\") ||
           name.starts_with(L"\\??\\");
  };
  if (system_form(given)) return given;
  const std::wstring full = FullPath(given);
  if (full.starts_with(L"\\\\")) {
    if (system_form(full)) return given;  // a device, reached by its own name
    return L"\\\\?\\UNC\\" + full.substr(2);
  }
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  return given;
}

std::wstring Utf8ToUtf16(std::string_view text) { return ToUtf16(CP_UTF8, text); }
std::string Utf16ToUtf8(std::wstring_view text) { return FromUtf16(CP_UTF8, text); }

std::string SystemErrorText(DWORD error) {
  wchar_t* allocated = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&allocated), 0, nullptr);
  const LocalMemory<wchar_t*> text(allocated);
  std::string reason = length ? Utf16ToUtf8(std::wstring_view(text.get(), length))
                              : "error " + std::to_string(error);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.')) {
    reason.pop_back();
  }
  return reason;
}

}  // namespace ledgerlift
