#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ledgerlift {

// One character of UTF-8 text: its code point and how many bytes it takes;
// a size of 0 when the bytes at that place are no valid UTF-8 (a stray
// continuation byte, a sequence cut short, an overlong form, a surrogate, a
// code point past U+10FFFF).
struct Utf8Char {
  char32_t code_point = 0;
  std::size_t size = 0;
};

// The character that begins at `text[at]`.
inline Utf8Char DecodeUtf8(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
  };
  const unsigned lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  std::size_t size;
  char32_t code_point;
  char32_t least;  // the smallest code point of this size: no overlong forms
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2, code_point = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3, code_point = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4, code_point = lead & 0x07, least = 0x10000;
  } else {
    return {};
  }
  for (std::size_t i = 1; i < size; ++i) {
    const unsigned next = byte(i);
    if ((next & 0xC0) != 0x80) return {};
    code_point = code_point << 6 | (next & 0x3F);
  }
  if (code_point < least || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return {};
  }
  return {code_point, size};
}

// Appends `code_point` to `out` as UTF-8.
inline void AppendUtf8(char32_t code_point, std::string& out) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | code_point >> 6);
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | code_point >> 12);
    out += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code_point >> 18);
    out += static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

}  // namespace ledgerlift
