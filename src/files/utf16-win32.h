#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace ledgerlift {

// The program keeps every text, paths included, in UTF-8; the W functions
// of Windows take UTF-16. These convert at the call. Invalid input becomes
// U+FFFD rather than failing: a text for a person is still shown.
std::wstring Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::wstring_view text);

// The path the W file functions take for the UTF-8 `path`: made absolute as
// the system makes it (GetFullPathNameW: the current folder, "/" read as
// "\", "." and ".." resolved, a name's trailing dots and blanks dropped), in
// the extended-length form "\\?\C:\..." or "\\?\UNC\server\share\...", which
// no limit of 260 characters applies to. A device ("NUL", "CON"), a path
// already in one of the system's own forms ("\\?\", "\\.\", "\??\"), and one
// the system cannot make absolute stay as given.
std::wstring ExtendedLengthPath(std::string_view path);

// The system's text for a Win32 error number (GetLastError), in UTF-8, on
// one line and without the closing full stop, so that it can end a message.
std::string SystemErrorText(DWORD error);

}  // namespace ledgerlift
