#include "statement/values.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "statement/utf8.h"

namespace ledgerlift {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The named references of SGML's and XML's own entities.
struct Named {
  std::string_view name;  // between "&" and ";"
  char text;
};
constexpr std::array<Named, 5> kNamed = {{
    {"amp", '&'},
    {"lt", '<'},
    {"gt", '>'},
    {"quot", '"'},
    {"apos", '\''},
}};

// Longer numerals than this are no reference we decode ("&#0000000038;"
// still is): the value stays as written, and no number overflows.
constexpr std::size_t kLongestNumeral = 8;

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The reference at the start of `text` (which begins with "&"): the
// character it stands for and its length, or a length of 0 when it is none
// we decode.
std::pair<char, std::size_t> Reference(std::string_view text) {
  const std::size_t semicolon = text.find(';', 1);
  if (semicolon == std::string_view::npos) return {0, 0};
  const std::string_view name = text.substr(1, semicolon - 1);
  for (const Named& named : kNamed) {
    if (name == named.name) return {named.text, semicolon + 1};
  }
  if (name.size() < 2 || name[0] != '#') return {0, 0};
  const bool hex = name[1] == 'x' || name[1] == 'X';
  const std::string_view numeral = name.substr(hex ? 2 : 1);
  if (numeral.empty() || numeral.size() > kLongestNumeral) return {0, 0};
  std::uint32_t code = 0;
  for (char c : numeral) {
    const int digit = DigitValue(c, hex);
    if (digit < 0) return {0, 0};
    code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
  }
  if (code < 32 || code > 126) return {0, 0};
  return {static_cast<char>(code), semicolon + 1};
}

void AppendDecoded(std::string_view value, std::string& out) {
  for (std::size_t at = 0; at < value.size();) {
    const std::size_t amp = value.find('&', at);
    out.append(value.substr(at, amp - at));
    if (amp == std::string_view::npos) return;
    const auto [text, size] = Reference(value.substr(amp));
    if (size == 0) {
      out += '&';
      at = amp + 1;
    } else {
      out += text;
      at = amp + size;
    }
  }
}

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
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

void AppendFromWindows1252(std::string_view text, std::string& out) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      AppendUtf8(byte < 0xA0 ? kWindows1252[byte - 0x80] : char32_t{byte}, out);
    }
  }
}

}  // namespace

std::string_view WithoutBlanks(std::string_view value) {
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  return value;
}

bool NeedsValueText(std::string_view value, TextEncoding encoding) {
  if (!value.empty() && (static_cast<unsigned char>(value.front()) <= ' ' ||
                         static_cast<unsigned char>(value.back()) <= ' ')) {
    return true;
  }
  if (encoding == TextEncoding::kAsRead) {
    return value.find('&') != std::string_view::npos;
  }
  return std::any_of(value.begin(), value.end(), [](char c) {
    return c == '&' || static_cast<unsigned char>(c) >= 0x80;
  });
}

void AppendValueText(std::string_view value, TextEncoding encoding, std::string& out) {
  value = WithoutBlanks(value);
  if (encoding == TextEncoding::kAsRead || IsUtf8(value)) {
    AppendDecoded(value, out);
    return;
  }
  // Decoding yields ASCII only, so it may come first either way.
  std::string decoded;
  AppendDecoded(value, decoded);
  AppendFromWindows1252(decoded, out);
}

std::string ValueText(std::string_view value, TextEncoding encoding) {
  std::string text;
  AppendValueText(value, encoding, text);
  return text;
}

}  // namespace ledgerlift
