#pragma once

#include <string>
#include <string_view>

namespace ledgerlift {

// A file name as a message shows it, on standard error or in a dialog: each
// control character (below 0x20, and 0x7F) written out, `\n`, `\r`, `\t` or
// `\xHH`, so that a name cannot end a line of the message, forge another one
// or send a terminal an escape sequence. Everything else stays as it is:
// backslashes (Windows paths are full of them) and bytes from 0x80 (UTF-8).
std::string ShownName(std::string_view name);

}  // namespace ledgerlift
