#include "run/shown_name.h"

#include "statement/utf8.h"

namespace ledgerlift {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHex(unsigned value, int digits, std::string& out) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
    out += kHexDigits[(value >> shift) & 0xF];
  }
}

// Characters that may move or end a line, or turn a terminal's or a text
// box's reading around, though they are no C0 control: the C1 controls,
// the line and paragraph separators, and the bidirectional controls.
bool MovesText(char32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string ShownName(std::string_view name) {
  std::string shown;
  shown.reserve(name.size());
  for (std::size_t at = 0; at < name.size();) {
    const Utf8Char c = DecodeUtf8(name, at);
    if (c.size == 0) {  // not UTF-8: the byte itself, so no two names look alike
      shown += "\\x";
      AppendHex(static_cast<unsigned char>(name[at]), 2, shown);
      ++at;
      continue;
    }
    at += c.size;
    if (c.code_point == '\n') {
      shown += "\\n";
    } else if (c.code_point == '\r') {
      shown += "\\r";
    } else if (c.code_point == '\t') {
      shown += "\\t";
    } else if (c.code_point < 0x20 || c.code_point == 0x7F) {
      shown += "\\x";
      AppendHex(c.code_point, 2, shown);
    } else if (MovesText(c.code_point)) {
      shown += "\\u";
      AppendHex(c.code_point, 4, shown);
    } else {
      shown.append(name.substr(at - c.size, c.size));
    }
  }
  return shown;
}

}  // namespace ledgerlift
