#include "program/program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "files/real_file_system.h"
#include "fixtures.h"
#include "window/layout.h"

namespace ledgerlift {
namespace {

using testing_support::kShopLine;

// A desktop that answers from a script and remembers what it was asked.
class FakePlatform : public Platform {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::optional<std::string> ChooseFolder() override { return folder; }
  std::optional<std::string> ChooseInputFile() override { return file; }
  void OpenAddress(const std::string& address) override { opened.push_back(address); }

  std::vector<std::string> messages, opened;
  std::optional<std::string> folder, file;
};

// At its designed size the window shows its five labels; the box and the
// buttons lie below the client area, reached by Tab or a larger window.
TEST(Layout, OnlyTheLabelsLieInsideTheClientArea) {
  for (const Control& control : kControls) {
    EXPECT_EQ(IsInsideClientArea(control), control.kind == ControlKind::kLabel)
        << control.name;
  }
}

TEST(Layout, TabOrderRunsFromTheButtonsToTheLabels) {
  std::vector<std::string_view> names;
  for (const Control* control : TabOrder()) names.push_back(control->name);
  EXPECT_EQ(names, (std::vector<std::string_view>{"InputSelect", "OutPutSelect", "Text1",
                                                  "Label1", "Label2", "Label3", "Label4",
                                                  "Label5"}));
}

TEST(Layout, TwipsToPixels) {
  const struct {
    int twips, dpi, pixels;
  } cases[] = {
      {5235, 96, 349}, {3375, 96, 225},  {15, 96, 1},      {7, 96, 0},
      {8, 96, 1},      {5235, 144, 524}, {3375, 192, 450}, {0, 120, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
  }
}

// A UTF-8 name as the system takes it: bytes on Linux, UTF-16 on Windows.
std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class ProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("ledgerlift-program-" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Writes a file named `name` (UTF-8) in the test folder; returns its path
  // as the program takes paths, in UTF-8.
  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = folder_.string() + kSeparator + name;
    std::ofstream(Utf8Path(path), std::ios::binary) << content;
    return path;
  }

  // The separator of the temporary folder's path: '/' on Linux, '\' on
  // Windows, where these tests run too.
  static constexpr char kSeparator =
      static_cast<char>(std::filesystem::path::preferred_separator);

  std::filesystem::path folder_;
  FakePlatform platform_;
  RealFileSystem files_;
};

TEST_F(ProgramTest, OnlyNoArgumentAtAllSelectsWindowMode) {
  Program program(platform_, files_, '/', "/home/user");
  EXPECT_FALSE(program.Load({"", {}}).has_value());
  EXPECT_EQ(program.OutputDirectory(), "/home/user");
  EXPECT_TRUE(platform_.messages.empty());
  // An explicit empty argument, as `ledgerlift "$FILE"` with an empty $FILE
  // gives, is a conversion with an empty name.
  for (const CommandLine& empty : {CommandLine{"", {""}}, CommandLine{"\"\"", {""}}}) {
    EXPECT_EQ(program.Load(empty), 2) << empty.text;
  }
  EXPECT_EQ(platform_.messages,
            std::vector<std::string>(2, "Input File Name is missing."));
}

TEST_F(ProgramTest, LoadConvertsBesideTheInput) {
  const std::string input = Write("stmt.qfx", "<OFX><STMTTRN><NAME>ONLY\r\n</OFX>");
  Program program(platform_, files_, kSeparator, "/home/user");
  EXPECT_EQ(program.Load({"\"" + input + "\"", {input}}), 1);
  EXPECT_EQ(program.OutputDirectory(),
            "/home/user");  // the box is not the output's folder
  EXPECT_TRUE(std::filesystem::exists(folder_ / "stmt.qif"));
  EXPECT_EQ(platform_.messages,
            std::vector<std::string>{"Failed to read 1 lines of data from QFX file."});
}

TEST_F(ProgramTest, SeveralFilesGiveOneMessageNamingEachAndTheWorstStatus) {
  const std::string good = Write("good.qfx", kShopLine);
  const std::string bad =
      Write("bad one.qfx", "<OFX><STMTTRN><NAME>A\r\n<STMTTRN>\r\n</OFX>");
  const std::string missing = (folder_ / "missing.qfx").string();
  Program program(platform_, files_, kSeparator, "/home/user");
  EXPECT_EQ(program.Load({good + " " + bad + " " + missing, {good, bad, missing}}), 2);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "good.qif"));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "bad one.qif"));
  ASSERT_EQ(platform_.messages.size(), 1u);
  EXPECT_EQ(platform_.messages[0].substr(0, platform_.messages[0].rfind(':')),
            bad + ": Failed to read 2 lines of data from QFX file.\n" + missing +
                ": Error 2: cannot open input file " + missing);

  platform_.messages.clear();
  EXPECT_EQ(program.Load({good + " " + bad, {good, bad}}), 1);
  EXPECT_EQ(
      platform_.messages,
      std::vector<std::string>{bad + ": Failed to read 2 lines of data from QFX file."});
  platform_.messages.clear();
  EXPECT_EQ(program.Load({good + " " + good, {good, good}}), 0);
  EXPECT_TRUE(platform_.messages.empty());
}

TEST(GatheredMessage, OneLinePerFileNamingIt) {
  const struct {
    std::vector<FileMessage> messages;
    const char* text;
  } cases[] = {
      {{{"a.qfx", "Failed to read 2 lines of data from QFX file."}},
       "a.qfx: Failed to read 2 lines of data from QFX file."},
      {{{"C:\\My Files\\b.qfx", "Error 2: cannot open input file C:\\My Files\\b.qfx: x"},
        {"c.qfx", "Failed to read 1 lines of data from QFX file."}},
       "C:\\My Files\\b.qfx: Error 2: cannot open input file C:\\My Files\\b.qfx: x\n"
       "c.qfx: Failed to read 1 lines of data from QFX file."},
      // An empty name shows as it was given, in quotes, not as nothing.
      {{{"", "Input File Name is missing."}}, "\"\": Input File Name is missing."},
      // A name with a line end cannot forge a line of its own.
      {{{"x\nc.qfx: all fine.qfx",
         "Error 2: cannot open input file x\\nc.qfx: all fine.qfx: x"}},
       "x\\nc.qfx: all fine.qfx: Error 2: cannot open input file x\\nc.qfx: all "
       "fine.qfx: x"},
  };
  for (const auto& c : cases) EXPECT_EQ(GatheredMessage(c.messages), c.text);
}

// A name outside any code page is the file converted, never a look-alike
// with the same letters less their accents.
TEST_F(ProgramTest, NamesOutsideTheCodePageConvertTheNamedFile) {
  const std::string lookalike = Write("Lódz.qfx", kShopLine);
  Program program(platform_, files_, kSeparator, "/home/user");
  for (const char* name : {"Łódź.qfx", "Пётр.qfx", "银行.qfx", "💸.qfx"}) {
    const std::string input = Write(name, kShopLine);
    EXPECT_EQ(program.Load({input, {input}}), 0) << name;
    const std::string output = input.substr(0, input.size() - 3) + "qif";
    EXPECT_TRUE(files_.Exists(output)) << output;
  }
  EXPECT_FALSE(files_.Exists(lookalike.substr(0, lookalike.size() - 3) + "qif"));
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ProgramTest, EmptyFileNameIsMissing) {
  Program program(platform_, files_, '/', folder_.string());
  EXPECT_EQ(program.ConvertIntoOutputFolder(""), 2);
  EXPECT_EQ(platform_.messages, std::vector<std::string>{"Input File Name is missing."});
}

// The window could not be made (Windows): error 7, in the common program.
TEST_F(ProgramTest, WindowThatCannotBeMadeIsError7) {
  Program program(platform_, files_, '\\', "C:\\");
  EXPECT_EQ(program.WindowNotCreated("Not enough memory resources are available"), 2);
  EXPECT_EQ(platform_.messages,
            std::vector<std::string>{"Error 7: cannot create the window: Not enough "
                                     "memory resources are available"});
}

TEST_F(ProgramTest, FolderChooserSetsOrKeepsTheOutputFolder) {
  Program program(platform_, files_, '\\', "C:\\");
  program.OnFolderButtonClick();  // cancelled
  EXPECT_EQ(program.OutputDirectory(), "C:\\");
  platform_.folder = "D:\\";
  program.OnFolderButtonClick();
  EXPECT_EQ(program.OutputDirectory(), "D:\\");
}

TEST_F(ProgramTest, ConvertButtonAndDropWriteIntoTheOutputFolder) {
  const std::string first = Write("a.qfx", kShopLine);
  const std::string second = Write("b.qfx", kShopLine);
  std::filesystem::create_directory(folder_ / "out");
  Program program(platform_, files_, kSeparator, (folder_ / "out").string());
  program.OnConvertButtonClick();  // cancelled: nothing happens
  platform_.file = first;
  program.OnConvertButtonClick();
  EXPECT_TRUE(platform_.messages.empty());
  const std::string missing = (folder_ / "missing.qfx").string();
  program.OnFilesDropped({second, missing});
  EXPECT_TRUE(std::filesystem::exists(folder_ / "out" / "a.qif"));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "out" / "b.qif"));
  ASSERT_EQ(platform_.messages.size(), 1u);
  EXPECT_EQ(
      platform_.messages[0].rfind(missing + ": Error 2: cannot open input file ", 0), 0u)
      << platform_.messages[0];
  // A single file dropped: its message as it stands.
  program.OnFilesDropped({missing});
  ASSERT_EQ(platform_.messages.size(), 2u);
  EXPECT_EQ(platform_.messages[1].rfind("Error 2: cannot open input file ", 0), 0u);
}

// Two statements of one name dropped from different folders: the first
// one's register is kept, the second refused, in one message.
TEST_F(ProgramTest, DropOfTwoStatementsForOneRegisterKeepsTheFirst) {
  std::filesystem::create_directory(folder_ / "in1");
  std::filesystem::create_directory(folder_ / "in2");
  std::filesystem::create_directory(folder_ / "out");
  const std::string sep(1, kSeparator);
  const std::string first = Write("in1" + sep + "stmt.qfx", kShopLine);
  const std::string second = Write("in2" + sep + "stmt.qfx", "<OFX></OFX>");
  Program program(platform_, files_, kSeparator, (folder_ / "out").string());
  program.OnFilesDropped({first, second});
  EXPECT_EQ(testing_support::Read(folder_ / "out" / "stmt.qif"),
            testing_support::kShopRegister);
  const std::string output = (folder_ / "out").string() + sep + "stmt.qif";
  EXPECT_EQ(platform_.messages,
            std::vector<std::string>{second + ": Error 10: cannot convert " + second +
                                     ": its QIF file " + output + " was written from " +
                                     first + " in this run"});
}

// The window's box emptied: each file goes beside itself, never to the root.
TEST_F(ProgramTest, EmptiedOutputFolderMeansEachStatementsOwn) {
  std::filesystem::create_directory(folder_ / "in");
  const std::string dropped =
      Write("in" + std::string(1, kSeparator) + "a.qfx", kShopLine);
  const std::string chosen = Write("b.qfx", kShopLine);
  Program program(platform_, files_, kSeparator, (folder_ / "out").string());
  program.SetOutputDirectory("");
  program.OnFilesDropped({dropped});
  platform_.file = chosen;
  program.OnConvertButtonClick();
  EXPECT_TRUE(std::filesystem::exists(folder_ / "in" / "a.qif"));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "b.qif"));
  EXPECT_EQ(platform_.messages, std::vector<std::string>{});
}

}  // namespace
}  // namespace ledgerlift
