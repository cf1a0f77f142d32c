#pragma once

#include <string>
#include <string_view>

namespace ledgerlift {

// Texts are UTF-8 inside the program; Windows takes and gives UTF-16 through
// its wide (W) functions. These convert at that boundary. A name holding a
// lone surrogate (possible on Windows, never valid Unicode) converts with
// U+FFFD in its place.
std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

}  // namespace ledgerlift
