// Reads arbitrary bytes as a DTPOSTED value and checks the signed numeral
// and the date against an independent reading by the C library's strtod and
// printf, which always use "." in the "C" locale the fuzzer runs in.

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "statement/posted_date.h"

namespace {

[[noreturn]] void Fail(const char* what, std::string_view value) {
  std::fprintf(stderr, "property violated: %s (value of %zu bytes)\n", what,
               value.size());
  std::abort();
}

// The number a value stands for, by strtod, when the value is a plain decimal
// number: blanks, an optional sign, digits, an optional point and digits.
struct Reading {
  double number;
  bool underflow;  // too small for a normal double
};
std::optional<Reading> ReadNumber(std::string_view value) {
  value = value.substr(0, value.find('['));
  const size_t first = value.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
  if (value.find_first_not_of("+-.0123456789") != std::string_view::npos)
    return std::nullopt;
  const size_t digit = value[0] == '+' || value[0] == '-' ? 1 : 0;
  if (digit >= value.size() || value[digit] < '0' || value[digit] > '9')
    return std::nullopt;
  const std::string text(value);
  char* end = nullptr;
  errno = 0;
  const double number = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return std::nullopt;  // a second sign or point
  if (errno == ERANGE && std::fabs(number) >= DBL_MIN) return std::nullopt;  // too large
  return Reading{number, errno == ERANGE};
}

// Digits and exponent of a positive number as "%.14e" has them: "2011030200000"
// and 7 for 20110302, with trailing zeros dropped.
std::pair<std::string, int> Scientific(double number) {
  char text[64];
  std::snprintf(text, sizeof text, "%.14e", number);
  std::string digits = std::string(1, text[0]) + std::string(text + 2, 14);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  return {digits, std::atoi(text + 17)};
}

// The same two facts read back from a positional numeral ("2011", ".005").
std::pair<std::string, int> Scientific(std::string_view numeral, std::string_view value) {
  const size_t point = numeral.find('.');
  std::string digits(numeral.substr(0, point));
  int exponent = static_cast<int>(digits.size()) - 1;
  if (point != std::string_view::npos) {
    if (point + 1 == numeral.size()) Fail("a point ends the numeral", value);
    digits += numeral.substr(point + 1);
  }
  const size_t lead = digits.find_first_not_of('0');
  if (lead == std::string::npos || (point != 0 && lead != 0))
    Fail("leading zeros", value);
  if (point != std::string_view::npos && numeral.back() == '0')
    Fail("trailing zeros", value);
  if (point == 0) exponent = -static_cast<int>(lead) - 1;
  digits.erase(0, lead);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (digits.size() > 15) Fail("more than 15 significant digits", value);
  return {digits, exponent};
}

// At most `length` characters from 0-based `at`; empty past the end.
std::string Piece(const std::string& text, size_t at, size_t length) {
  return at < text.size() ? text.substr(at, length) : std::string();
}

void CheckNumeral(std::string_view value, const std::optional<std::string>& numeral) {
  const std::optional<Reading> reading = ReadNumber(value);
  if (!reading || !numeral) {
    if (reading.has_value() != numeral.has_value())
      Fail("read as a number by one side only", value);
    return;
  }
  if (numeral->size() < 2 ||
      numeral->find_first_not_of(".0123456789", 1) != std::string::npos) {
    Fail("a numeral is a sign column and digits", value);
  }
  const std::string_view magnitude = std::string_view(*numeral).substr(1);
  if (magnitude == "0") {
    if (reading->number != 0 && !reading->underflow)
      Fail("zero for a number that is not", value);
    if ((*numeral)[0] != ' ') Fail("zero has a blank sign column", value);
    return;
  }
  if ((*numeral)[0] != (reading->number < 0 ? '-' : ' ')) Fail("the sign column", value);
  if (Scientific(magnitude, value) != Scientific(std::fabs(reading->number))) {
    Fail("the numeral's digits differ from printf's", value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view value(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> numeral = ledgerlift::SignedNumeral(value);
  CheckNumeral(value, numeral);
  const std::optional<ledgerlift::QifDate> qif_date = ledgerlift::PostedDate(value);
  if (qif_date.has_value() != numeral.has_value())
    Fail("a date exactly for a numeral", value);
  if (qif_date) {
    const std::string_view date = qif_date->view();
    if (date != ledgerlift::FormatPostedDate(*numeral))
      Fail("the date is the numeral's", value);
    const std::string expected =
        Piece(*numeral, 5, 2) + "-" + Piece(*numeral, 7, 2) + "-" + Piece(*numeral, 1, 4);
    if (date != expected) Fail("the date is month-day-year of the numeral", value);
  }
  return 0;
}
