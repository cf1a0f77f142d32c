#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ledgerlift {

// How a register's text is written. Finance programs on Linux read QIF as
// UTF-8; on Windows they read the ANSI code page, the bytes as the bank sent
// them.
enum class TextEncoding {
  kUtf8,    // a value that is not UTF-8 is read as Windows-1252 and written as UTF-8
  kAsRead,  // the bytes as the statement holds them
};

// Copies a value to `out`; returns the end of the copy. Values are short:
// up to 16 bytes they are copied as two words that may overlap, which costs
// less than a call to memcpy.
[[gnu::always_inline]] inline char* PutBytes(char* out, std::string_view value) {
  const char* const from = value.data();
  const size_t size = value.size();
  if (size >= 8 && size <= 16) {
    std::uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + size - 8, 8);
    std::memcpy(out, &head, 8);
    std::memcpy(out + size - 8, &tail, 8);
  } else if (size >= 4 && size < 8) {
    std::uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + size - 4, 4);
    std::memcpy(out, &head, 4);
    std::memcpy(out + size - 4, &tail, 4);
  } else {
    std::memcpy(out, from, size);
  }
  return out + size;
}

// A value without the blanks (spaces and tabs) at either end; blanks inside
// it stay.
std::string_view WithoutBlanks(std::string_view value);

// Whether a value is empty or blanks only: no value at all.
inline bool IsBlankValue(std::string_view value) {
  for (char c : value) {
    if (c != ' ' && c != '\t') return false;
  }
  return true;
}

// Whether `value` holds what ValueText changes: a blank at either end, a
// "&" (a character reference may begin there) or, for kUtf8, a byte from
// 0x80.
bool NeedsValueText(std::string_view value, TextEncoding encoding);

// The text a register holds for a value read from a statement, appended to
// `out`:
// - The blanks (spaces and tabs) at either end are removed.
// - The character references of SGML and XML are decoded: "&amp;", "&lt;",
//   "&gt;", "&quot;", "&apos;", and numeric ones ("&#38;", "&#x26;") to a
//   printable ASCII character (32 to 126). Anything else that begins with
//   "&" stays as written ("PG&E", "&AMP;", "&nbsp;", "&#233;"); so does a
//   reference to a control character, which must never become a line end
//   in the register.
// - With kUtf8, a value that is not valid UTF-8 is read as Windows-1252
//   (what such statements declare: CHARSET:1252, ISO-8859-1; the five bytes
//   Windows-1252 leaves undefined stand for the same code point) and
//   written as UTF-8. Each value is decided on its own, so a file that
//   mixes both comes out right.
void AppendValueText(std::string_view value, TextEncoding encoding, std::string& out);

// The same written at `out`, which has room for kMostValueTextPerByte bytes
// for each byte of `value`; returns the end of what was written.
inline constexpr std::size_t kMostValueTextPerByte = 3;
char* PutValueText(char* out, std::string_view value, TextEncoding encoding);

// The same for a value without blanks around it, of at most kValuePiece
// bytes with as many readable from its start, whose "&"s and, for kUtf8,
// bytes from 0x80 are the bits of `specials` (byte i, bit i), as
// ValueTextBytes32 tells them. `out` has kValuePiece bytes of room more.
inline constexpr std::size_t kValuePiece = 32;
char* PutValueText(char* out, std::string_view value, std::uint32_t specials,
                   TextEncoding encoding);

// The same as a new string.
std::string ValueText(std::string_view value, TextEncoding encoding);

// CDATA text is no markup: a "&" in it is written "&amp;" while the value is
// gathered, so that the decoding above gives it back as it stood.
inline void AppendCdataByte(char byte, std::string& value) {
  if (byte == '&') {
    value += "&amp;";
  } else {
    value += byte;
  }
}

}  // namespace ledgerlift
