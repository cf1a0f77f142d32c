#include "statement/posted_date.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace ledgerlift {
namespace {

struct DateCase {
  const char* value;
  const char* numeral;  // nullptr: the value is no number
  const char* date;
};

const DateCase kDateCases[] = {
    {"20110302", " 20110302", "03-02-2011"},
    {"20110302120000.000", " 20110302120000", "03-02-2011"},
    {"0020110302", " 20110302", "03-02-2011"},
    {"2011", " 2011", "--2011"},
    {"20110302120000.000[-5:EST]", " 20110302120000", "03-02-2011"},
    {"20110302[0:GMT]", " 20110302", "03-02-2011"},
    {"  20110302\t", " 20110302", "03-02-2011"},
    {"+20110302", " 20110302", "03-02-2011"},
    {"-20110302", "-20110302", "03-02-2011"},
    {"20110302.", " 20110302", "03-02-2011"},
    {"20110302120000123", " 20110302120000100", "03-02-2011"},
    {"201103021200001", " 201103021200001", "03-02-2011"},
    {"2011030212000012", " 2011030212000010", "03-02-2011"},
    {"20110302.0000000000000000000", " 20110302", "03-02-2011"},
    {"20110302120000.0001", " 20110302120000", "03-02-2011"},
    {"20110302120000.000 ", " 20110302120000", "03-02-2011"},
    {"123456789012345678901234567890", " 123456789012346000000000000000", "56-78-1234"},
    {"0.5", " .5", "--.5"},
    {"-0.25", "-.25", "--.25"},
    {"0.000123", " .000123", "12-3-.000"},
    {"0", " 0", "--0"},
    {"-0", " 0", "--0"},
    {"12.50", " 12.5", "--12.5"},
    {"1", " 1", "--1"},
    {"", nullptr, nullptr},
    {" ", nullptr, nullptr},
    {"[-5:EST]", nullptr, nullptr},
    {"MARCH 2", nullptr, nullptr},
    {"2011-03-02", nullptr, nullptr},
    {"1e5", nullptr, nullptr},
    {"0x10", nullptr, nullptr},
    {".5", nullptr, nullptr},
    {"2011 0302", nullptr, nullptr},
    {"20110302,5", nullptr, nullptr},
    {"+-1", nullptr, nullptr},
};

TEST(PostedDate, ValuesAsBanksSendThem) {
  for (const DateCase& c : kDateCases) {
    const std::optional<std::string> numeral = SignedNumeral(c.value);
    const std::optional<QifDate> date = PostedDate(c.value);
    if (c.numeral == nullptr) {
      EXPECT_FALSE(numeral.has_value()) << "'" << c.value << "' -> " << *numeral;
      EXPECT_FALSE(date.has_value()) << c.value;
      continue;
    }
    ASSERT_TRUE(numeral.has_value()) << c.value;
    EXPECT_EQ(*numeral, c.numeral) << c.value;
    ASSERT_TRUE(date.has_value()) << c.value;
    EXPECT_EQ(date->view(), c.date) << c.value;
  }
}

// In a block the bytes after a value are read with it: whatever they are,
// the date is the value's own.
TEST(PostedDate, ReadInPlaceAmongOtherBytes) {
  for (const DateCase& c : kDateCases) {
    for (const char* after :
         {"", "0000000000000000000000000", "1234567890.0[12345678901234",
          ".000[-5:EST]000000000000000"}) {
      const std::string value = c.value;
      const std::string block = value + after;
      QifDate date{{'?'}, 1};  // kept when the value is no date
      const bool read = ReadPostedDate(std::string_view(block).substr(0, value.size()),
                                       block.size(), date);
      EXPECT_EQ(read, c.date != nullptr) << c.value << " + " << after;
      EXPECT_EQ(date.view(), c.date ? c.date : "?") << c.value << " + " << after;
    }
  }
}

TEST(PostedDate, TooLargeForADoubleIsNoNumber) {
  EXPECT_FALSE(SignedNumeral(std::string(400, '9')).has_value());
  const std::optional<std::string> largest = SignedNumeral(std::string(300, '9'));
  ASSERT_TRUE(largest.has_value());
  EXPECT_EQ(*largest, " 1" + std::string(300, '0'));
}

TEST(PostedDate, BelowTheSmallestDoubleIsZero) {
  EXPECT_EQ(SignedNumeral("0." + std::string(400, '0') + "1").value_or("?"), " 0");
}

// A German locale, whose decimal point is ",": the installed one, or one
// compiled into a temporary folder from the system's locale sources. The
// locale the test found is put back, and the folder removed, at the end.
class DecimalCommaLocale {
 public:
  DecimalCommaLocale() {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    saved_ = previous ? previous : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) return;
    std::string folder = testing::TempDir() + "ledgerlift-locales-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) return;
    folder_ = folder;
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + folder_ + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    setenv("LOCPATH", folder_.c_str(), 1);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    unsetenv("LOCPATH");
  }
  ~DecimalCommaLocale() {
    std::setlocale(LC_ALL, saved_.c_str());
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }
  bool in_use() const { return std::string(std::localeconv()->decimal_point) == ","; }

 private:
  std::string saved_;
  std::string folder_;
};

TEST(PostedDate, PointIsTheDecimalSeparatorWhateverTheLocale) {
  const DecimalCommaLocale locale;
  if (!locale.in_use()) GTEST_SKIP() << "no locale with a decimal comma";
  EXPECT_EQ(SignedNumeral("12.5").value_or("?"), " 12.5");
  EXPECT_FALSE(SignedNumeral("12,5").has_value());
}

TEST(FormatPostedDate, SlicesRunningPastTheEndAreCutShort) {
  const struct {
    const char* numeral;
    const char* date;
  } cases[] = {
      {" 20110302", "03-02-2011"},
      {" 2011030", "03-0-2011"},
      {" 201103", "03--2011"},
      {" 20", "--20"},
      {"", "--"},
      {"-20110302", "03-02-2011"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatPostedDate(c.numeral), c.date) << c.numeral;
}

}  // namespace
}  // namespace ledgerlift
