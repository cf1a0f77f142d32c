#pragma once

#include <string>
#include <string_view>

namespace ledgerlift {

// A file name as a message shows it, on standard error, in a dialog or a
// message box: each control character (below 0x20, and 0x7F) written out,
// `\n`, `\r`, `\t` or `\xHH`, so that a name cannot end a line of the
// message, forge another one or send a terminal an escape sequence; the C1
// controls (U+0080 to U+009F), the line and paragraph separators and the
// bidirectional controls written `\uHHHH`, for the same reasons in dialogs
// and terminals that read them; and each byte that is not UTF-8 written
// `\xHH`, so that two different names never look alike. Everything else
// stays as it is: backslashes (Windows paths are full of them) and UTF-8.
std::string ShownName(std::string_view name);

}  // namespace ledgerlift
