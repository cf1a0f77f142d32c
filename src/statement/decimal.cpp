#include "statement/decimal.h"

#include <algorithm>
#include <vector>

namespace ledgerlift {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digit strings without a point: magnitudes, most significant first.
std::string WithoutLeadingZeros(std::string digits) {
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    digits.assign(1, '0');
  } else {
    digits.erase(0, first);
  }
  return digits;
}

// -1, 0 or 1 as x is below, equal to or above y (neither with leading zeros).
int Compare(const std::string& x, const std::string& y) {
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  return x.compare(y) < 0 ? -1 : x == y ? 0 : 1;
}

std::string Add(const std::string& x, const std::string& y) {
  std::string sum;
  int carry = 0;
  for (std::size_t i = 0; i < std::max(x.size(), y.size()) || carry; ++i) {
    const int a = i < x.size() ? x[x.size() - 1 - i] - '0' : 0;
    const int b = i < y.size() ? y[y.size() - 1 - i] - '0' : 0;
    sum += static_cast<char>('0' + (a + b + carry) % 10);
    carry = (a + b + carry) / 10;
  }
  std::reverse(sum.begin(), sum.end());
  return WithoutLeadingZeros(sum);
}

// x - y, for x not below y.
std::string Subtract(const std::string& x, const std::string& y) {
  std::string difference;
  int borrow = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    int a = x[x.size() - 1 - i] - '0' - borrow;
    const int b = i < y.size() ? y[y.size() - 1 - i] - '0' : 0;
    borrow = a < b ? 1 : 0;
    a += 10 * borrow;
    difference += static_cast<char>('0' + a - b);
  }
  std::reverse(difference.begin(), difference.end());
  return WithoutLeadingZeros(difference);
}

std::string Multiply(const std::string& x, const std::string& y) {
  std::vector<int> product(x.size() + y.size(), 0);
  for (std::size_t i = x.size(); i-- > 0;) {
    for (std::size_t j = y.size(); j-- > 0;) {
      product[i + j + 1] += (x[i] - '0') * (y[j] - '0');
    }
  }
  for (std::size_t k = product.size(); k-- > 1;) {
    product[k - 1] += product[k] / 10;
    product[k] %= 10;
  }
  std::string digits;
  for (int d : product) digits += static_cast<char>('0' + d);
  return WithoutLeadingZeros(digits);
}

// x ÷ y rounded down, by long division (y not zero).
std::string Divide(const std::string& x, const std::string& y) {
  std::string quotient, rest = "0";
  for (char c : x) {
    rest = WithoutLeadingZeros(rest + c);
    int times = 0;
    while (Compare(rest, y) >= 0) {
      rest = Subtract(rest, y);
      ++times;
    }
    quotient += static_cast<char>('0' + times);
  }
  return WithoutLeadingZeros(quotient);
}

}  // namespace

Decimal::Decimal(std::string digits, std::size_t scale, bool negative)
    : digits_(WithoutLeadingZeros(std::move(digits))), scale_(scale) {
  if (digits_.size() < scale_ + 1) digits_.insert(0, scale_ + 1 - digits_.size(), '0');
  negative_ = negative && !zero();
}

std::optional<Decimal> Decimal::Parse(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+'))
    text.remove_prefix(1);
  std::string digits;  // without the zeros that lead the whole part
  std::size_t scale = 0;
  bool point = false, any = false;
  for (const char c : text) {
    if (c == '.' || c == ',') {
      if (point) return std::nullopt;
      point = true;
    } else if (!IsDigit(c) || digits.size() > kMostDigits) {
      return std::nullopt;
    } else {
      any = true;
      scale += point;
      if (point || c != '0' || !digits.empty()) digits += c;
    }
  }
  if (!any || std::max(digits.size(), scale + 1) > kMostDigits) return std::nullopt;
  return Decimal(std::move(digits), scale, negative);
}

Decimal Decimal::Sum(const Decimal& a, const Decimal& b) {
  const std::size_t scale = std::max(a.scale_, b.scale_);
  const std::string x = a.digits_ + std::string(scale - a.scale_, '0');
  const std::string y = b.digits_ + std::string(scale - b.scale_, '0');
  if (a.negative_ == b.negative_) return Decimal(Add(x, y), scale, a.negative_);
  const std::string x_whole = WithoutLeadingZeros(x), y_whole = WithoutLeadingZeros(y);
  if (Compare(x_whole, y_whole) >= 0) {
    return Decimal(Subtract(x_whole, y_whole), scale, a.negative_);
  }
  return Decimal(Subtract(y_whole, x_whole), scale, b.negative_);
}

Decimal Decimal::Product(const Decimal& a, const Decimal& b) {
  return Decimal(Multiply(a.digits_, b.digits_), a.scale_ + b.scale_,
                 a.negative_ != b.negative_);
}

std::optional<Decimal> Decimal::Quotient(const Decimal& a, const Decimal& b,
                                         std::size_t places) {
  if (b.zero()) return std::nullopt;
  // a ÷ b × 10^(places + 1), as whole numbers: one digit more to round by.
  const std::string numerator = a.digits_ + std::string(b.scale_ + places + 1, '0');
  const std::string denominator = b.digits_ + std::string(a.scale_, '0');
  std::string digits = Divide(numerator, WithoutLeadingZeros(denominator));
  const bool up = digits.back() >= '5';
  digits.pop_back();
  if (digits.empty()) digits.push_back('0');
  if (up) digits = Add(digits, "1");
  return Decimal(digits, places, a.negative_ != b.negative_).Trimmed(0);
}

bool Decimal::zero() const { return digits_.find_first_not_of('0') == std::string::npos; }

Decimal Decimal::Magnitude() const { return Decimal(digits_, scale_, false); }

Decimal Decimal::Negated() const { return Decimal(digits_, scale_, !negative_); }

Decimal Decimal::Trimmed(std::size_t places) const {
  Decimal trimmed = *this;
  while (trimmed.scale_ > places && trimmed.digits_.back() == '0') {
    trimmed.digits_.pop_back();
    --trimmed.scale_;
  }
  return trimmed;
}

std::string Decimal::Text() const {
  std::string text = negative_ ? "-" : "";
  text.append(digits_, 0, digits_.size() - scale_);
  if (scale_ > 0) text.append(".").append(digits_, digits_.size() - scale_);
  return text;
}

}  // namespace ledgerlift
