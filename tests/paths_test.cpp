#include "conversion/paths.h"

#include <gtest/gtest.h>

namespace ledgerlift {
namespace {

struct PathCase {
  const char* name;
  char separator;
  const char* argument;
  const char* directory;    // the output folder derived from the argument
  const char* output_path;  // where the output goes
};

// The output always lands beside the input, whatever the extension's case,
// and only the last path piece gives the output's name.
const PathCase kPathCases[] = {
    {"WindowsDownloads", '\\', "C:\\Users\\user\\Downloads\\stmt.qfx",
     "C:\\Users\\user\\Downloads", "C:\\Users\\user\\Downloads\\stmt.qif"},
    {"WindowsData", '\\', "C:\\Data\\stmt.qfx", "C:\\Data", "C:\\Data\\stmt.qif"},
    {"WindowsUpperCaseExtension", '\\', "C:\\Data\\STMT.QFX", "C:\\Data",
     "C:\\Data\\STMT.qif"},
    {"WindowsNoSeparatorIsCurrentFolder", '\\', "stmt.qfx", ".", ".\\stmt.qif"},
    {"WindowsDriveRoot", '\\', "C:\\stmt.qfx", "C:", "C:\\stmt.qif"},
    {"WindowsRootOfCurrentDrive", '\\', "\\stmt.qfx", "", "\\stmt.qif"},
    {"WindowsUncKeepsLeadingPair", '\\', "\\\\server\\share\\stmt.qfx",
     "\\\\server\\share", "\\\\server\\share\\stmt.qif"},
    {"WindowsQfxInsideName", '\\', "C:\\Data\\stmt.qfx.txt", "C:\\Data",
     "C:\\Data\\stmt.qfx.qif"},
    {"WindowsDottedFolderNoExtension", '\\', "C:\\my.data\\stmt", "C:\\my.data",
     "C:\\my.data\\stmt.qif"},
    {"WindowsTwoDots", '\\', "C:\\Data\\stmt.2011.qfx", "C:\\Data",
     "C:\\Data\\stmt.2011.qif"},
    {"WindowsBlanksKept", '\\', "C:\\My Files\\bank stmt.qfx", "C:\\My Files",
     "C:\\My Files\\bank stmt.qif"},
    {"WindowsSlashIsNoSeparator", '\\', "C:\\a/b.qfx", "C:", "C:\\a/b.qif"},
    {"PosixUpperCaseExtension", '/', "/data/STMT.QFX", "/data", "/data/STMT.qif"},
    {"PosixNoSeparatorIsCurrentFolder", '/', "stmt.qfx", ".", "./stmt.qif"},
    {"PosixRoot", '/', "/stmt.qfx", "", "/stmt.qif"},
    {"PosixDottedFolderNoExtension", '/', "/my.data/stmt", "/my.data",
     "/my.data/stmt.qif"},
    {"PosixTwoDots", '/', "stmt.2011.qfx", ".", "./stmt.2011.qif"},
    {"PosixOfxExtension", '/', "/home/a/bank.ofx", "/home/a", "/home/a/bank.qif"},
    {"PosixLeadingDotStartsNoExtension", '/', "/home/a/.statement", "/home/a",
     "/home/a/.statement.qif"},
    {"PosixLeadingDotThenExtension", '/', "/home/a/.stmt.qfx", "/home/a",
     "/home/a/.stmt.qif"},
    {"PosixOnlyALeadingDot", '/', "/home/a/.qfx", "/home/a", "/home/a/.qfx.qif"},
    {"WindowsLeadingDotStartsNoExtension", '\\', "C:\\Data\\.statement", "C:\\Data",
     "C:\\Data\\.statement.qif"},
    {"WindowsLeadingDotThenExtension", '\\', ".stmt.qfx", ".", ".\\.stmt.qif"},
    {"PosixRelative", '/', "in/stmt.qfx", "in", "in/stmt.qif"},
    {"PosixBackslashIsNoSeparator", '/', "/tmp/a\\b.qfx", "/tmp", "/tmp/a\\b.qif"},
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class PathRules : public testing::TestWithParam<PathCase> {};

TEST_P(PathRules, OutputLandsBesideTheInput) {
  const PathCase& c = GetParam();
  const std::string directory = OutputDirectoryOf(c.argument, c.separator);
  EXPECT_EQ(directory, c.directory);
  EXPECT_EQ(OutputPath(c.argument, directory, c.separator), c.output_path);
}

INSTANTIATE_TEST_SUITE_P(BothSeparators, PathRules, testing::ValuesIn(kPathCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OutputPath, FolderChosenInTheWindowKeepsItsOwnSeparator) {
  // A drive root chosen in the folder chooser ends in a separator already.
  EXPECT_EQ(OutputPath("C:\\Data\\stmt.qfx", "D:\\", '\\'), "D:\\\\stmt.qif");
  EXPECT_EQ(OutputPath("/data/stmt.qfx", "/", '/'), "//stmt.qif");
}

// The window's box emptied: the output goes beside the statement, never to
// the root of the drive.
TEST(OutputPath, EmptyFolderMeansTheStatementsOwn) {
  const struct {
    char separator;
    const char* file_name;
    const char* output_path;
  } cases[] = {
      {'\\', "C:\\Data\\stmt.qfx", "C:\\Data\\stmt.qif"},
      {'\\', "C:\\stmt.qfx", "C:\\stmt.qif"},
      {'\\', "stmt.qfx", ".\\stmt.qif"},
      {'/', "/data/stmt.qfx", "/data/stmt.qif"},
      {'/', "/stmt.qfx", "/stmt.qif"},
      {'/', "stmt.qfx", "./stmt.qif"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OutputPath(c.file_name, "", c.separator), c.output_path) << c.file_name;
  }
}

TEST(CommandLineArgument, RemovesEveryQuoteAndKeepsBlanks) {
  const struct {
    const char* command_line;
    const char* argument;
  } cases[] = {
      {"\"C:\\My Files\\stmt.qfx\"", "C:\\My Files\\stmt.qfx"},
      {"\"\"", ""},
      {"\"", ""},
      {"", ""},
      {" stmt.qfx ", " stmt.qfx "},
      {"\"a b.qfx\" \"c.qfx\"", "a b.qfx c.qfx"},
      {"a\"b\"c", "abc"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandLineArgument(c.command_line), c.argument) << c.command_line;
  }
}

}  // namespace
}  // namespace ledgerlift
