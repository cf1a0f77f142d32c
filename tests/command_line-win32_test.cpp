// On Windows (under Wine in the tests): the command line as the system
// itself splits it, and the UTF-8 <-> UTF-16 conversion at its boundary,
// paths included.

#include <windows.h>
// shellapi.h needs windows.h first.
#include <gtest/gtest.h>
#include <shellapi.h>

#include "files/owners-win32.h"
#include "files/utf16-win32.h"
#include "launch/command_line.h"
#include "split_cases.h"

namespace ledgerlift {
namespace {

TEST(SplitWindowsArguments, AgreesWithCommandLineToArgvW) {
  for (const SplitCase& c : kSplitCases) {
    const std::wstring line = L"ledgerlift.exe " + Utf8ToUtf16(c.arguments);
    int count = 0;
    const LocalMemory<wchar_t**> argv(CommandLineToArgvW(line.c_str(), &count));
    ASSERT_TRUE(argv.valid());
    std::vector<std::string> system;
    for (int i = 1; i < count; ++i) system.push_back(Utf16ToUtf8(argv.get()[i]));
    EXPECT_EQ(SplitWindowsArguments(c.arguments), system) << c.arguments;
  }
}

TEST(Utf16, NamesOutsideEveryCodePageSurviveTheRoundTrip) {
  const struct {
    const char* utf8;
    std::wstring utf16;
  } cases[] = {
      {"", L""},
      {"C:\\Data\\stmt.qfx", L"C:\\Data\\stmt.qfx"},
      {"Łódź.qfx", L"\u0141\u00F3d\u017A.qfx"},
      {"Пётр.qfx", L"\u041F\u0451\u0442\u0440.qfx"},
      {"银行.qfx", L"\u94F6\u884C.qfx"},
      {"💸.qfx", L"\xD83D\xDCB8.qfx"},  // outside the BMP: a surrogate pair
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
  }
}

// From C:\ as the current folder, so that relative paths have one answer.
TEST(ExtendedLengthPath, AbsoluteAndFreeOfTheLimitOf260Characters) {
  const std::wstring deep(1000, L'x');
  const struct {
    const char* name;
    std::string path;
    std::wstring expected;
  } cases[] = {
      {"absolute", "C:\\Data\\stmt.qfx", L"\\\\?\\C:\\Data\\stmt.qfx"},
      {"relative", "Data\\stmt.qfx", L"\\\\?\\C:\\Data\\stmt.qfx"},
      {"from the drive's root", "\\Data\\stmt.qfx", L"\\\\?\\C:\\Data\\stmt.qfx"},
      {"slashes, . and ..", "C:/Data/./old/../stmt.qfx", L"\\\\?\\C:\\Data\\stmt.qfx"},
      {"a name's trailing dot", "C:\\Data\\stmt.qfx.", L"\\\\?\\C:\\Data\\stmt.qfx"},
      {"longer than 260", "C:\\" + Utf16ToUtf8(deep) + "\\stmt.qfx",
       L"\\\\?\\C:\\" + deep + L"\\stmt.qfx"},
      {"UNC", "\\\\server\\share\\Data\\stmt.qfx",
       L"\\\\?\\UNC\\server\\share\\Data\\stmt.qfx"},
      {"UNC with slashes and ..", "//server/share/Data/../stmt.qfx",
       L"\\\\?\\UNC\\server\\share\\stmt.qfx"},
      {"already extended", "\\\\?\\C:\\Data\\..\\stmt.qfx",
       L"\\\\?\\C:\\Data\\..\\stmt.qfx"},
      {"a pipe", "\\\\.\\pipe\\statement", L"\\\\.\\pipe\\statement"},
      {"a device", "NUL", L"NUL"},
      {"empty", "", L""},
  };
  std::wstring previous(GetCurrentDirectoryW(0, nullptr), L'\0');
  ASSERT_NE(GetCurrentDirectoryW(static_cast<DWORD>(previous.size()), previous.data()),
            0u);
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
  for (const auto& c : cases) EXPECT_EQ(ExtendedLengthPath(c.path), c.expected) << c.name;
  SetCurrentDirectoryW(previous.c_str());
}

}  // namespace
}  // namespace ledgerlift
