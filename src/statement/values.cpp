#include "statement/values.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "statement/utf8.h"

namespace ledgerlift {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Longer numerals than this are no reference we decode ("&#0000000038;"
// still is): the value stays as written, and no number overflows.
constexpr std::size_t kLongestNumeral = 8;

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The character a numeric reference stands for (`name` is the text between
// "&" and ";": "#38", "#x26"), or 0 when it is none we decode.
char NumericReference(std::string_view name) {
  const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
  const std::string_view numeral = name.substr(hex ? 2 : 1);
  if (numeral.empty() || numeral.size() > kLongestNumeral) return 0;
  std::uint32_t code = 0;
  for (char c : numeral) {
    const int digit = DigitValue(c, hex);
    if (digit < 0) return 0;
    code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
  }
  return code >= 32 && code <= 126 ? static_cast<char>(code) : 0;
}

struct Decoded {
  char text = 0;
  std::size_t size = 0;  // of the reference; 0 for none we decode
};

// The reference at the start of `text`, which begins with "&": SGML's and
// XML's own entities, and numeric references.
Decoded Reference(std::string_view text) {
  const auto named = [&](std::string_view name, char c) {
    return text.substr(1).starts_with(name) ? Decoded{c, name.size() + 1} : Decoded{};
  };
  switch (text.size() > 1 ? text[1] : '\0') {
    case 'a':
      return text.size() > 2 && text[2] == 'm' ? named("amp;", '&')
                                               : named("apos;", '\'');
    case 'l':
      return named("lt;", '<');
    case 'g':
      return named("gt;", '>');
    case 'q':
      return named("quot;", '"');
    case '#': {
      const std::size_t semicolon = text.find(';', 2);
      if (semicolon == std::string_view::npos) return {};
      const char c = NumericReference(text.substr(1, semicolon - 1));
      return c != 0 ? Decoded{c, semicolon + 1} : Decoded{};
    }
    default:
      return {};
  }
}

// Eight bytes of text from `p`, as they lie in memory.
std::uint64_t Word(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

constexpr std::uint64_t kHigh = 0x8080808080808080ull;

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    if (text.size() - at >= 8 && (Word(text.data() + at) & kHigh) == 0) {
      at += 8;  // ASCII
      continue;
    }
    if (static_cast<unsigned char>(text[at]) < 0x80) {
      ++at;
      continue;
    }
    const Utf8Char c = DecodeUtf8(text, at);
    if (c.size == 0) return false;
    at += c.size;
  }
  return true;
}

// Windows-1252's characters for the bytes 0x80 to 0x9F; the five it leaves
// undefined stand for the same code point, as 0xA0 to 0xFF do.
constexpr std::array<char16_t, 32> kWindows1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A byte from 0x80 of a Windows-1252 text, as UTF-8 at `out`.
char* PutFromWindows1252(char* out, unsigned char byte) {
  const char32_t c = byte < 0xA0 ? kWindows1252[byte - 0x80] : char32_t{byte};
  if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | c >> 6);
  } else {
    *out++ = static_cast<char>(0xE0 | c >> 12);
    *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
  }
  *out++ = static_cast<char>(0x80 | (c & 0x3F));
  return out;
}

}  // namespace

std::string_view WithoutBlanks(std::string_view value) {
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  return value;
}

bool NeedsValueText(std::string_view value, TextEncoding encoding) {
  if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()))) return true;
  if (encoding == TextEncoding::kAsRead) {
    return value.find('&') != std::string_view::npos;
  }
  return std::any_of(value.begin(), value.end(), [](char c) {
    return c == '&' || static_cast<unsigned char>(c) >= 0x80;
  });
}

namespace {

// How a value's bytes from 0x80 are written: unknown until the first one
// (the bytes before it are ASCII, and decoding yields ASCII only, so the
// value's own bytes from there tell whether it is UTF-8).
enum class HighBytes { kUnknown, kAsTheyAre, kFromWindows1252 };

// Writes the text of the "&" or byte from 0x80 that `rest` (the rest of a
// value) begins with; returns how many bytes of `rest` it stood for.
[[gnu::always_inline]] inline std::size_t PutSpecial(char*& out, std::string_view rest,
                                                     TextEncoding encoding,
                                                     HighBytes& high) {
  const char c = rest.front();
  if (c == '&') {
    if (rest.size() >= 5 && std::memcmp(rest.data() + 1, "amp;", 4) == 0) {
      *out++ = '&';  // by far the most frequent
      return 5;
    }
    const Decoded decoded = Reference(rest);
    *out++ = decoded.size != 0 ? decoded.text : '&';
    return std::max<std::size_t>(decoded.size, 1);
  }
  if (high == HighBytes::kUnknown) {
    high = encoding == TextEncoding::kUtf8 && !IsUtf8(rest) ? HighBytes::kFromWindows1252
                                                            : HighBytes::kAsTheyAre;
  }
  if (high == HighBytes::kFromWindows1252) {
    out = PutFromWindows1252(out, static_cast<unsigned char>(c));
  } else {
    *out++ = c;
  }
  return 1;
}

}  // namespace

char* PutValueText(char* out, std::string_view value, TextEncoding encoding) {
  value = WithoutBlanks(value);
  HighBytes high = HighBytes::kUnknown;
  for (std::size_t at = 0; at < value.size();) {
    const char c = value[at];
    if (c != '&' && static_cast<unsigned char>(c) < 0x80) {
      *out++ = c;
      ++at;
    } else {
      at += PutSpecial(out, value.substr(at), encoding, high);
    }
  }
  return out;
}

char* PutValueText(char* out, std::string_view value, std::uint32_t specials,
                   TextEncoding encoding) {
  // The value is moved as one piece of 32 bytes, from a copy with room
  // after it, and again after each byte that changes.
  char piece[2 * kValuePiece] = {};
  std::memcpy(piece, value.data(), kValuePiece);
  std::memcpy(out, piece, kValuePiece);
  HighBytes high = HighBytes::kUnknown;
  std::size_t at = 0;
  while (specials != 0) {
    const auto next = static_cast<std::size_t>(std::countr_zero(specials));
    out += next - at;  // the bytes before it are in place
    at = next + PutSpecial(out, std::string_view(piece + next, value.size() - next),
                           encoding, high);
    std::memcpy(out, piece + at, kValuePiece);
    specials &= at < 32 ? ~((std::uint32_t{1} << at) - 1) : 0;  // those it stood for
  }
  return out + (value.size() - at);
}

void AppendValueText(std::string_view value, TextEncoding encoding, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + kMostValueTextPerByte * value.size());
  char* const end = PutValueText(out.data() + start, value, encoding);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string ValueText(std::string_view value, TextEncoding encoding) {
  std::string text;
  AppendValueText(value, encoding, text);
  return text;
}

}  // namespace ledgerlift
