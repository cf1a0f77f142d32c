#include "statement/decimal.h"

#include <gtest/gtest.h>

namespace ledgerlift {
namespace {

std::string Text(const std::optional<Decimal>& number) {
  return number ? number->Text() : "none";
}

Decimal Number(const char* text) { return *Decimal::Parse(text); }

// A number is read as written, its decimals kept; anything else is none.
TEST(Decimal, ReadsWhatStatementsWrite) {
  const struct {
    const char* text;
    const char* read;
  } cases[] = {
      {"-15029.95", "-15029.95"},
      {"+3", "3"},
      {".5", "0.5"},
      {"5.", "5"},
      {"0040.000", "40.000"},
      {"-0.00", "0.00"},
      {"1,25", "1.25"},
      {"", "none"},
      {"-", "none"},
      {".", "none"},
      {"1.2.3", "none"},
      {"1,234.50", "none"},
      {"12 ", "none"},
      {"1e5", "none"},
      {"N/A", "none"},
      {"12345678901234567890123456789012345678901", "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(Decimal::Parse(c.text)), c.read) << c.text;
}

// Sums and products to the last digit, where binary floating point would
// not (0.1 + 0.2, 3 × 33.33...).
TEST(Decimal, ArithmeticIsExact) {
  const struct {
    const char* a;
    const char* b;
    const char* sum;
    const char* product;
  } cases[] = {
      {"4.95", "0.05", "5.00", "0.2475"},
      {"0.1", "0.2", "0.3", "0.02"},
      {"-15029.95", "4.95", "-15025.00", "-74398.2525"},
      {"-1", "1.00", "0.00", "-1.00"},
      {"50.0000", "31.20", "81.2000", "1560.000000"},
      {"99999999999999999999.99", "0.01", "100000000000000000000.00",
       "999999999999999999.9999"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decimal::Sum(Number(c.a), Number(c.b)).Text(), c.sum)
        << c.a << " + " << c.b;
    EXPECT_EQ(Decimal::Product(Number(c.a), Number(c.b)).Text(), c.product)
        << c.a << " × " << c.b;
  }
  EXPECT_EQ(Number("1560.000000").Trimmed(2).Text(), "1560.00");
  EXPECT_EQ(Number("316.29570").Trimmed(2).Text(), "316.2957");
}

TEST(Decimal, QuotientRoundsHalfAwayFromZero) {
  const struct {
    const char* a;
    const char* b;
    const char* quotient;  // to 8 places
  } cases[] = {
      {"20", "1", "20"},         {"30", "2", "15"},
      {"10", "3", "3.33333333"}, {"20", "3", "6.66666667"},
      {"-1", "8", "-0.125"},     {"1", "0.000", "none"},
      {"0.000000001", "2", "0"}, {"0.000000005", "1", "0.00000001"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(Decimal::Quotient(Number(c.a), Number(c.b), 8)), c.quotient)
        << c.a << " ÷ " << c.b;
  }
}

}  // namespace
}  // namespace ledgerlift
