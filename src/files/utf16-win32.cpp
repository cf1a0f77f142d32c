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

}  // namespace

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
