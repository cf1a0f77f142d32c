#include "run/paths.h"

#include <gtest/gtest.h>

namespace ledgerlift {
namespace {

struct PathCase {
  const char* name;
  char separator;
  const char* argument;
  const char* beside;     // the output beside the input (the launch)
  const char* in_folder;  // the output in the chosen folder "OUT"
};

// The output lands beside the input, its folder part kept as written, or in
// the chosen folder; whatever the extension's case, only the last path piece
// gives the output's name.
const PathCase kPathCases[] = {
    {"WindowsDownloads", '\\', "C:\\Users\\user\\Downloads\\stmt.qfx",
     "C:\\Users\\user\\Downloads\\stmt.qif", "OUT\\stmt.qif"},
    {"WindowsUpperCaseExtension", '\\', "C:\\Data\\STMT.QFX", "C:\\Data\\STMT.qif",
     "OUT\\STMT.qif"},
    {"WindowsNoSeparatorIsCurrentFolder", '\\', "stmt.qfx", ".\\stmt.qif",
     "OUT\\stmt.qif"},
    {"WindowsDriveRoot", '\\', "C:\\stmt.qfx", "C:\\stmt.qif", "OUT\\stmt.qif"},
    {"WindowsRootOfCurrentDrive", '\\', "\\stmt.qfx", "\\stmt.qif", "OUT\\stmt.qif"},
    {"WindowsUncKeepsLeadingPair", '\\', "\\\\server\\share\\stmt.qfx",
     "\\\\server\\share\\stmt.qif", "OUT\\stmt.qif"},
    {"WindowsQfxInsideName", '\\', "C:\\Data\\stmt.qfx.txt", "C:\\Data\\stmt.qfx.qif",
     "OUT\\stmt.qfx.qif"},
    {"WindowsDottedFolderNoExtension", '\\', "C:\\my.data\\stmt", "C:\\my.data\\stmt.qif",
     "OUT\\stmt.qif"},
    {"WindowsTwoDots", '\\', "C:\\Data\\stmt.2011.qfx", "C:\\Data\\stmt.2011.qif",
     "OUT\\stmt.2011.qif"},
    {"WindowsBlanksKept", '\\', "C:\\My Files\\bank stmt.qfx",
     "C:\\My Files\\bank stmt.qif", "OUT\\bank stmt.qif"},
    {"WindowsForwardSlashes", '\\', "C:/Data/stmt.qfx", "C:/Data/stmt.qif",
     "OUT\\stmt.qif"},
    {"WindowsMixedSlashes", '\\', "C:\\a/b.qfx", "C:\\a/b.qif", "OUT\\b.qif"},
    {"WindowsSlashAtRoot", '\\', "C:/stmt.qfx", "C:/stmt.qif", "OUT\\stmt.qif"},
    {"WindowsDottedFolderAfterSlash", '\\', "C:/my.data/stmt", "C:/my.data/stmt.qif",
     "OUT\\stmt.qif"},
    {"WindowsDriveRelative", '\\', "Z:stmt.qfx", "Z:stmt.qif", "OUT\\stmt.qif"},
    {"WindowsDriveRelativeLowerCase", '\\', "z:My Files\\stmt.qfx",
     "z:My Files\\stmt.qif", "OUT\\stmt.qif"},
    {"WindowsColonLaterIsNoDrive", '\\', "ab:stmt.qfx", ".\\ab:stmt.qif",
     "OUT\\ab:stmt.qif"},
    {"WindowsNonAsciiBytesKept", '\\', "C:\\Łódź.qfx", "C:\\Łódź.qif", "OUT\\Łódź.qif"},
    {"PosixUpperCaseExtension", '/', "/data/STMT.QFX", "/data/STMT.qif", "OUT/STMT.qif"},
    {"PosixNoSeparatorIsCurrentFolder", '/', "stmt.qfx", "./stmt.qif", "OUT/stmt.qif"},
    {"PosixRoot", '/', "/stmt.qfx", "/stmt.qif", "OUT/stmt.qif"},
    {"PosixDottedFolderNoExtension", '/', "/my.data/stmt", "/my.data/stmt.qif",
     "OUT/stmt.qif"},
    {"PosixTwoDots", '/', "stmt.2011.qfx", "./stmt.2011.qif", "OUT/stmt.2011.qif"},
    {"PosixOfxExtension", '/', "/home/a/bank.ofx", "/home/a/bank.qif", "OUT/bank.qif"},
    {"PosixOnlyALeadingDot", '/', "/home/a/.qfx", "/home/a/.qfx.qif", "OUT/.qfx.qif"},
    {"PosixLeadingDotStartsNoExtension", '/', "/home/a/.statement",
     "/home/a/.statement.qif", "OUT/.statement.qif"},
    {"PosixLeadingDotThenExtension", '/', "/home/a/.stmt.qfx", "/home/a/.stmt.qif",
     "OUT/.stmt.qif"},
    {"WindowsLeadingDotStartsNoExtension", '\\', "C:\\Data\\.statement",
     "C:\\Data\\.statement.qif", "OUT\\.statement.qif"},
    {"WindowsLeadingDotThenExtension", '\\', ".stmt.qfx", ".\\.stmt.qif",
     "OUT\\.stmt.qif"},
    {"PosixRelative", '/', "in/stmt.qfx", "in/stmt.qif", "OUT/stmt.qif"},
    {"PosixBackslashIsNoSeparator", '/', "/tmp/a\\b.qfx", "/tmp/a\\b.qif",
     "OUT/a\\b.qif"},
    {"PosixDriveIsAName", '/', "Z:stmt.qfx", "./Z:stmt.qif", "OUT/Z:stmt.qif"},
    {"PosixQuoteInName", '/', "/tmp/say \"hi\".qfx", "/tmp/say \"hi\".qif",
     "OUT/say \"hi\".qif"},
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class PathRules : public testing::TestWithParam<PathCase> {};

TEST_P(PathRules, OutputLandsBesideTheInputOrInTheChosenFolder) {
  const PathCase& c = GetParam();
  EXPECT_EQ(OutputPathBeside(c.argument, c.separator), c.beside);
  EXPECT_EQ(OutputPath(c.argument, "OUT", c.separator), c.in_folder);
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

}  // namespace
}  // namespace ledgerlift
