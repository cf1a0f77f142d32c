#include "statement/posted_date.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace ledgerlift {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The eight bytes at `p` as a word, the first byte lowest.
std::uint64_t Word(const char* p) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, p, 8);
  } else {
    for (int i = 0; i < 8; ++i) {
      word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
  }
  return word;
}

// How many of the eight bytes at `p` are digits before the first that is
// not: 8 when all are. They are looked at in one word: a digit's high half
// is 3, and stays 3 when 6 is added (0x3A-0x3F do not). A carry out of a
// byte that is no digit (0xFA-0xFF plus 6) changes only the bytes after it.
int LeadingDigits(const char* p) {
  const std::uint64_t word = Word(p);
  constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
  constexpr std::uint64_t kThrees = 0x3030303030303030ull;
  // A byte of it is not zero where a byte is no digit.
  const std::uint64_t no_digit =
      ((word & kHigh) ^ kThrees) | (((word + 0x0606060606060606ull) & kHigh) ^ kThrees);
  return std::countr_zero(no_digit) / 8;  // 64 / 8 when none
}

// How many of the eight bytes at `p` are "0" before the first that is not.
int LeadingZeros(const char* p) {
  return std::countr_zero(Word(p) ^ 0x3030303030303030ull) / 8;
}

// How many bytes DateOfPlainDigits may read from a value's start: the 8
// digits, 7 more, a point, 8 zeros and the byte after them make 25, rounded
// up.
constexpr std::size_t kDateReach = 32;

// The date of the form nearly every bank sends: a whole number of 8 to 15
// digits without leading zero, perhaps with a point, a fraction of zeros and
// a time zone ("20110302120000.000[-5:EST]"). Its numeral is exactly its
// digits, so the date is sliced from them without reading the number; any
// other value gives nothing here and takes the general road. `d` has
// kDateReach bytes readable. The forms vary from one transaction to the
// next, so their parts are measured without a branch on which form it is,
// which the processor would often mispredict.
bool DateOfPlainDigits(const char* d, std::size_t size, QifDate& date) {
  if (size < 8 || d[0] == '0' || LeadingDigits(d) != 8) return false;
  const std::size_t digits =
      8 + std::min<std::size_t>(static_cast<std::size_t>(LeadingDigits(d + 8)), size - 8);
  const bool point = (digits < size) & (d[digits] == '.');
  const std::size_t zeros_from = digits + point;  // none without a point: "0" is a digit
  const std::size_t end =
      zeros_from +
      std::min<std::size_t>(static_cast<std::size_t>(LeadingZeros(d + zeros_from)),
                            size - zeros_from);
  if (digits > 15 || (end != size && d[end] != '[')) return false;
  date = {{d[4], d[5], '-', d[6], d[7], '-', d[0], d[1], d[2], d[3]}, 10};
  return true;
}

// The number between the blanks when `text` is a plain decimal number,
// without its "+" (which std::from_chars does not take); nothing otherwise.
std::optional<std::string_view> PlainNumber(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  std::string_view number = text.substr(begin, end - begin);
  size_t i = 0;
  if (!number.empty() && number[0] == '+') {
    number.remove_prefix(1);
  } else if (!number.empty() && number[0] == '-') {
    i = 1;
  }
  const size_t first_digit = i;
  while (i < number.size() && IsDigit(number[i])) ++i;
  if (i == first_digit) return std::nullopt;
  if (i < number.size() && number[i] == '.') {
    ++i;
    while (i < number.size() && IsDigit(number[i])) ++i;
  }
  if (i != number.size()) return std::nullopt;
  return number;
}

// Whether a plain number has no digit other than 0 before its point.
bool IsTiny(std::string_view number) {
  const std::string_view whole = number.substr(0, number.find('.'));
  return whole.find_first_not_of("-0") == std::string_view::npos;
}

// A non-negative finite number with 15 significant digits, positionally.
std::string Positional(double magnitude) {
  if (magnitude == 0) return "0";
  char buffer[64];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                     std::chars_format::scientific, 14);
  const std::string_view text(buffer, written.ptr - buffer);  // d.ddde+XX
  const size_t e = text.find('e');
  std::string digits(1, text[0]);
  digits.append(text.substr(2, e - 2));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string_view exponent_text = text.substr(e + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  int exponent = 0;
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(),
                  exponent);

  const long whole_digits = static_cast<long>(exponent) + 1;
  const long count = static_cast<long>(digits.size());
  std::string positional;
  if (whole_digits <= 0) {
    positional.append(1, '.').append(-whole_digits, '0').append(digits);
  } else if (whole_digits >= count) {
    positional.append(digits).append(whole_digits - count, '0');
  } else {
    positional.append(digits, 0, whole_digits)
        .append(1, '.')
        .append(digits, whole_digits);
  }
  return positional;
}

// `text` from 1-based character `first`, at most `length` characters.
std::string_view Slice(std::string_view text, size_t first, size_t length) {
  if (first - 1 >= text.size()) return {};
  return text.substr(first - 1, length);
}

}  // namespace

std::optional<std::string> SignedNumeral(std::string_view value) {
  const std::optional<std::string_view> number =
      PlainNumber(value.substr(0, value.find('[')));
  if (!number) return std::nullopt;
  double parsed = 0;
  const auto result =
      std::from_chars(number->data(), number->data() + number->size(), parsed);
  if (result.ec == std::errc::result_out_of_range && IsTiny(*number)) {
    return " 0";  // below the smallest double: it rounds to zero
  }
  if (result.ec != std::errc() || !std::isfinite(parsed)) return std::nullopt;
  std::string numeral(1, parsed < 0 ? '-' : ' ');
  numeral.append(Positional(std::fabs(parsed)));
  return numeral;
}

std::string FormatPostedDate(std::string_view numeral) {
  std::string date(Slice(numeral, 6, 2));
  date += '-';
  date += Slice(numeral, 8, 2);
  date += '-';
  date += Slice(numeral, 2, 4);
  return date;
}

bool ReadPostedDate(std::string_view value, std::size_t readable, QifDate& date) {
  if (readable >= kDateReach || value.size() >= kDateReach) {
    if (DateOfPlainDigits(value.data(), value.size(), date)) return true;
  } else {  // looked at in a copy with room after it
    char copy[kDateReach] = {};
    value.copy(copy, value.size());
    if (DateOfPlainDigits(copy, value.size(), date)) return true;
  }
  const std::optional<std::string> numeral = SignedNumeral(value);
  if (!numeral) return false;
  // At most 2 + 1 + 2 + 1 + 4 characters: every slice is cut short.
  const std::string text = FormatPostedDate(*numeral);
  date = {};
  text.copy(date.text, sizeof date.text);
  date.size = static_cast<std::uint8_t>(text.size());
  return true;
}

std::optional<QifDate> PostedDate(std::string_view value) {
  QifDate date;
  if (!ReadPostedDate(value, value.size(), date)) return std::nullopt;
  return date;
}

}  // namespace ledgerlift
