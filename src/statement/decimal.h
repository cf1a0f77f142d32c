#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ledgerlift {

// A number as a statement writes it ("-15029.95", "120.482", "+3", ".5"),
// held exactly as decimal digits: the sums and products an investment
// record needs (commission plus fees, units times price) come out to the
// last digit, as no binary floating point would give them.
class Decimal {
 public:
  // The longest number read, in digits after leading zeros: longer ones are
  // no amount a statement holds, and the arithmetic stays small.
  static constexpr std::size_t kMostDigits = 40;

  Decimal() = default;  // zero

  // `text` (blanks already removed) as a number: a sign, digits, and a
  // decimal point ("." or ",") with digits on at least one side of it.
  // Nothing for anything else.
  static std::optional<Decimal> Parse(std::string_view text);

  static Decimal Sum(const Decimal& a, const Decimal& b);
  static Decimal Product(const Decimal& a, const Decimal& b);
  // a ÷ b rounded to `places` decimals (half away from zero), trailing zeros
  // after the point dropped; nothing when b is zero.
  static std::optional<Decimal> Quotient(const Decimal& a, const Decimal& b,
                                         std::size_t places);

  bool negative() const { return negative_; }
  bool zero() const;
  Decimal Magnitude() const;
  Decimal Negated() const;
  // The same number with the zeros that end its decimals dropped, down to
  // `places` decimals: 1560.000000 as 1560.00.
  Decimal Trimmed(std::size_t places) const;

  // The number with as many decimals as it was written with (a sum with
  // those of the longer, a product with both together): "-0.50", "3025.00".
  std::string Text() const;

 private:
  Decimal(std::string digits, std::size_t scale, bool negative);

  std::string digits_ = "0";  // most significant first, at least scale_ + 1 of them
  std::size_t scale_ = 0;     // how many of them stand after the point
  bool negative_ = false;     // never for zero
};

}  // namespace ledgerlift
