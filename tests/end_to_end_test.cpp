// Runs the built program in a temporary folder and checks what a user gets:
// the output bytes, the message on standard error and the exit status.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "program_run.h"
#include "version.h"

namespace ledgerlift::testing_support {
namespace {

class EndToEnd : public ProgramRun {};

// A statement of one transaction per line, ended as most banks end lines.
const std::string kShopStatement = std::string(kShopLine) + "\r\n";

// Each shipped statement (one transaction per line, one tag per line, XML,
// a checking account and a credit card in one file) converts into the
// register shipped beside it.
TEST_F(EndToEnd, ConvertsTheShippedExamples) {
  for (const char* name : {"statement", "checking-one-tag-per-line", "credit-card-xml",
                           "checking-and-credit-card"}) {
    const fs::path example = fs::path(LEDGERLIFT_EXAMPLES) / name;
    fs::copy_file(example.string() + ".qfx", dir_ / (std::string(name) + ".qfx"));
    const Outcome outcome = Run(dir_ / (std::string(name) + ".qfx"));
    EXPECT_EQ(outcome.status, 0) << name << ": " << outcome.err;
    EXPECT_EQ(outcome.err, "") << name;
    EXPECT_EQ(Read(dir_ / (std::string(name) + ".qif")), Read(example.string() + ".qif"))
        << name;
  }
}

TEST_F(EndToEnd, OutputLandsBesideTheInput) {
  const struct {
    const char* name;
    std::vector<std::string> args;  // relative to the test folder
    const char* input;
    const char* output;
  } cases[] = {
      {"upper-case extension", {"data/STMT.QFX"}, "data/STMT.QFX", "data/STMT.qif"},
      {"no separator", {"stmt.qfx"}, "stmt.qfx", "stmt.qif"},
      {"dotted folder", {"my.data/stmt"}, "my.data/stmt", "my.data/stmt.qif"},
      {"two dots", {"stmt.2011.qfx"}, "stmt.2011.qfx", "stmt.2011.qif"},
      {"blanks joined",
       {"My", "Files/bank", "stmt.qfx"},
       "My Files/bank stmt.qfx",
       "My Files/bank stmt.qif"},
      {"quotes removed", {"\"q.qfx\""}, "q.qfx", "q.qif"},
      {"leading dot starts no extension", {".statement"}, ".statement", ".statement.qif"},
      {"leading dot, then an extension", {".stmt.qfx"}, ".stmt.qfx", ".stmt.qif"},
  };
  for (const auto& c : cases) {
    fs::create_directories((dir_ / c.input).parent_path());
    Write(dir_ / c.input, kShopStatement);
    const Outcome outcome = RunWith(c.args);
    EXPECT_EQ(outcome.status, 0) << c.name << ": " << outcome.err;
    EXPECT_EQ(Read(dir_ / c.output), kShopRegister) << c.name;
  }
}

TEST_F(EndToEnd, FailedLinesAreReportedAfterTheOutputIsWritten) {
  Write(dir_ / "stmt.qfx", kShopStatement + "<STMTTRN><NAME>X\r\n<STMTTRN>\n");
  const Outcome outcome = Run(dir_ / "stmt.qfx");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "Failed to read 2 lines of data from QFX file.\n");
  EXPECT_EQ(Read(dir_ / "stmt.qif"), kShopRegister);
}

TEST_F(EndToEnd, OutputThatWouldBeTheInputIsRefused) {
  // With no extension and no dot, "stmt" converts into "stmt.qif"; a file
  // named "x.qif" would convert into itself and only ever empty a register.
  Write(dir_ / "x.qif", kShopLine);
  const Outcome outcome = Run(dir_ / "x.qif");
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err, "Error 8: cannot convert " + (dir_ / "x.qif").string() +
                             ": the QIF file would replace the statement itself\n");
  EXPECT_EQ(Read(dir_ / "x.qif"), kShopLine);
  EXPECT_EQ(Files(), std::vector<std::string>{"x.qif"});
}

TEST_F(EndToEnd, RunningTwiceReplacesTheOutput) {
  Write(dir_ / "stmt.qfx", kShopLine);
  Write(dir_ / "stmt.qif", std::string(100000, 'x'));
  EXPECT_EQ(Run(dir_ / "stmt.qfx").status, 0);
  EXPECT_EQ(Run(dir_ / "stmt.qfx").status, 0);
  EXPECT_EQ(Read(dir_ / "stmt.qif"), kShopRegister);
  EXPECT_EQ(Files(), (std::vector<std::string>{"stmt.qfx", "stmt.qif"}));
}

TEST_F(EndToEnd, NewOutputGetsOrdinaryPermissions) {
  Write(dir_ / "stmt.qfx", kShopLine);
  const mode_t previous = umask(022);
  EXPECT_EQ(Run(dir_ / "stmt.qfx").status, 0);
  umask(previous);
  EXPECT_EQ(fs::status(dir_ / "stmt.qif").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
}

TEST_F(EndToEnd, EmptyInputGivesOnlyTheHeader) {
  Write(dir_ / "empty.qfx", "");
  const Outcome outcome = Run(dir_ / "empty.qfx");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(Read(dir_ / "empty.qif"), "!Type:Bank\r\n");
}

// --help, --version and window mode without a display print to standard
// output and succeed; a text that cannot be written fails, so that a script
// notices.
TEST_F(EndToEnd, HelpAndVersionOnTheTerminal) {
  const std::string help = "Ledgerlift " LEDGERLIFT_VERSION " converts QFX";
  const std::string full = "cannot write to standard output: No space left on device\n";
  const struct {
    std::vector<std::string> arguments;
    const char* standard_output;
    int status;
    std::string out_start, err;
  } cases[] = {
      {{"--version"}, nullptr, 0, "Ledgerlift " LEDGERLIFT_VERSION "\n", ""},
      {{"--help"}, nullptr, 0, help, ""},
      {{}, nullptr, 0, help, ""},
      {{"--version"}, "/dev/full", 2, "", full},
      {{"--help"}, "/dev/full", 2, "", full},
      {{}, "/dev/full", 2, "", full},
  };
  for (const auto& c : cases) {
    const std::string name = (c.arguments.empty() ? "no argument" : c.arguments[0]) +
                             (c.standard_output ? " > /dev/full" : "");
    const Outcome outcome = RunWith(c.arguments, {.standard_output = c.standard_output});
    EXPECT_EQ(outcome.status, c.status) << name;
    EXPECT_EQ(outcome.out.substr(0, c.out_start.size()), c.out_start) << name;
    EXPECT_EQ(outcome.err, c.err) << name;
  }
}

// `ledgerlift "$FILE"` with an empty $FILE fails, so that a script notices.
TEST_F(EndToEnd, AnExplicitEmptyArgumentIsAMissingName) {
  for (const char* empty : {"", "\"\""}) {
    const Outcome outcome = RunWith({empty});
    EXPECT_EQ(outcome.status, 2) << empty;
    EXPECT_EQ(outcome.err, "Input File Name is missing.\n") << empty;
    EXPECT_EQ(outcome.out, "") << empty;
  }
  EXPECT_EQ(Files(), std::vector<std::string>{});
}

TEST_F(EndToEnd, SeveralFilesEachConvertedBesideItself) {
  fs::create_directory(dir_ / "in");
  Write(dir_ / "a.qfx", kShopLine);
  Write(dir_ / "in" / "b.qfx", kShopStatement + "<STMTTRN><NAME>X\r\n");
  Write(dir_ / "c.qfx", kShopLine);
  const Outcome outcome = RunWith({"a.qfx", "in/b.qfx", "c.qfx"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "in/b.qfx: Failed to read 1 lines of data from QFX file.\n");
  EXPECT_EQ(Read(dir_ / "a.qif"), kShopRegister);
  EXPECT_EQ(Read(dir_ / "in" / "b.qif"), kShopRegister);
  EXPECT_EQ(Read(dir_ / "c.qif"), kShopRegister);

  // One missing: the others are converted all the same; the worst status.
  const Outcome missing = RunWith({"x.qfx", "a.qfx", "in/b.qfx"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err,
            "x.qfx: Error 2: cannot open input file x.qfx: No such file or directory\n"
            "in/b.qfx: Failed to read 1 lines of data from QFX file.\n");
  EXPECT_EQ(Files(), (std::vector<std::string>{"a.qfx", "a.qif", "c.qfx", "c.qif", "in",
                                               "in/b.qfx", "in/b.qif"}));
}

TEST_F(EndToEnd, NameHoldingQuotes) {
  Write(dir_ / "say \"hi\".qfx", kShopLine);
  const Outcome outcome = Run(dir_ / "say \"hi\".qfx");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(Read(dir_ / "say \"hi\".qif"), kShopRegister);
  // A path the whole command line names is still converted as one.
  Write(dir_ / "a.qfx b.qfx", kShopLine);
  Write(dir_ / "a.qfx", "");
  EXPECT_EQ(RunWith({"a.qfx", "b.qfx"}).status, 0);
  EXPECT_EQ(Read(dir_ / "a.qfx b.qif"), kShopRegister);
  EXPECT_FALSE(fs::exists(dir_ / "a.qif"));
}

}  // namespace
}  // namespace ledgerlift::testing_support
