#pragma once

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

// Whether `value` holds what ValueText changes: a blank or control byte at
// either end, a "&" (a character reference may begin there) or, for kUtf8,
// a byte from 0x80.
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
