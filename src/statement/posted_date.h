#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ledgerlift {

// A QIF date: MM-DD-YYYY, or shorter when the value's number has fewer
// digits. Held in place, so a date costs no allocation.
struct QifDate {
  char text[10];
  std::uint8_t size;
  std::string_view view() const { return {text, size}; }
};

// Reads a DTPOSTED value as a decimal number and writes it back as a signed
// numeral: a sign column (" " for zero or more, "-" below zero), then the
// number with the 15 significant digits that "%.14e" keeps, written out
// positionally ("20110302", ".5", "0"), never in exponent form.
// The OFX time-zone suffix, from the first "[" on, is dropped first. A value
// that is then not `[ \t]*[+-]?[0-9]+(\.[0-9]*)?[ \t]*`, or that is too large
// for a double, gives nothing. "." is always the decimal point.
std::optional<std::string> SignedNumeral(std::string_view value);

// The MM-DD-YYYY text of a signed numeral: its characters 6-7, "-", 8-9, "-",
// 2-5, counting the sign column as character 1. A slice that runs past the
// end is cut short, so " 2011" gives "--2011".
std::string FormatPostedDate(std::string_view numeral);

// Both steps at once: the QIF date of a DTPOSTED value, or nothing.
std::optional<QifDate> PostedDate(std::string_view value);

// The same into `date`, which stays as it was when the value is no number.
// `readable` is how many bytes may be read from the value's start, its own
// and those after it: with 32 the value is read where it stands (as it is in
// the block being converted), otherwise from a copy.
bool ReadPostedDate(std::string_view value, std::size_t readable, QifDate& date);

}  // namespace ledgerlift
