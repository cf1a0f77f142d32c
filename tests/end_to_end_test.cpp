// Runs the built program in a temporary folder and checks what a user gets:
// the output bytes, the message on standard error and the exit status.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kShopLine =
    "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<FITID>77"
    "<NAME>CORNER SHOP<MEMO>CARD 55</STMTTRN>\r\n";
constexpr const char* kShopQif =
    "!Type:Bank\r\nD03-02-2011\r\nPCORNER SHOP\r\nT-12.50\r\nMDEBIT\r\n^\r\n";

struct Outcome {
  int status;
  std::string out, err;
};

using ledgerlift::testing_support::Read;
using ledgerlift::testing_support::Write;

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ledgerlift-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }

  // Runs the program with `args` in the test folder, without a display.
  Outcome Run(const std::vector<std::string>& args) {
    const fs::path out = dir_ / ".stdout", err = dir_ / ".stderr";
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(127);
      const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(out_fd, 1);
      dup2(err_fd, 2);
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
      std::vector<char*> argv{const_cast<char*>(LEDGERLIFT_PROGRAM)};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(out), Read(err)};
    fs::remove(out);
    fs::remove(err);
    return outcome;
  }

  // Every file the folder holds, for checking that nothing was left behind.
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      names.push_back(fs::relative(entry.path(), dir_).string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

// Each shipped statement (one transaction per line, one tag per line, XML)
// converts into the register shipped beside it.
TEST_F(EndToEnd, ConvertsTheShippedExamples) {
  for (const char* name : {"statement", "checking-one-tag-per-line", "credit-card-xml"}) {
    const fs::path example = fs::path(LEDGERLIFT_EXAMPLES) / name;
    fs::copy_file(example.string() + ".qfx", dir_ / (std::string(name) + ".qfx"));
    const Outcome outcome = Run({(dir_ / (std::string(name) + ".qfx")).string()});
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
    Write(dir_ / c.input, kShopLine);
    const Outcome outcome = Run(c.args);
    EXPECT_EQ(outcome.status, 0) << c.name << ": " << outcome.err;
    EXPECT_EQ(Read(dir_ / c.output), kShopQif) << c.name;
  }
}

TEST_F(EndToEnd, FailedLinesAreReportedAfterTheOutputIsWritten) {
  Write(dir_ / "stmt.qfx", std::string(kShopLine) + "<STMTTRN><NAME>X\r\n<STMTTRN>\n");
  const Outcome outcome = Run({(dir_ / "stmt.qfx").string()});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "Failed to read 2 lines of data from QFX file.\n");
  EXPECT_EQ(Read(dir_ / "stmt.qif"), kShopQif);
}

TEST_F(EndToEnd, MissingInputLeavesAnExistingOutputAlone) {
  Write(dir_ / "stmt.qif", "precious");
  const std::string input = (dir_ / "stmt.qfx").string();
  const Outcome outcome = Run({input});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err,
            "Error 2: cannot open input file " + input + ": No such file or directory\n");
  EXPECT_EQ(Read(dir_ / "stmt.qif"), "precious");
  EXPECT_EQ(Files(), std::vector<std::string>{"stmt.qif"});
}

TEST_F(EndToEnd, FolderInTheWayOfTheOutputFailsCleanly) {
  Write(dir_ / "stmt.qfx", kShopLine);
  fs::create_directory(dir_ / "stmt.qif");
  const Outcome outcome = Run({(dir_ / "stmt.qfx").string()});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err.rfind("Error 6: cannot replace output file " +
                                  (dir_ / "stmt.qif").string() + ": ",
                              0),
            0u)
      << outcome.err;
  EXPECT_EQ(Files(), (std::vector<std::string>{"stmt.qfx", "stmt.qif"}));
}

TEST_F(EndToEnd, InputIsAFolder) {
  fs::create_directory(dir_ / "folder.qfx");
  const Outcome outcome = Run({(dir_ / "folder.qfx").string()});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err, "Error 3: cannot read input file " + (dir_ / "folder.qfx").string() +
                             ": Is a directory\n");
  EXPECT_EQ(Files(), std::vector<std::string>{"folder.qfx"});
}

TEST_F(EndToEnd, OutputThatWouldBeTheInputIsRefused) {
  // With no extension and no dot, "stmt" converts into "stmt.qif"; a file
  // named "x.qif" would convert into itself and only ever empty a register.
  Write(dir_ / "x.qif", kShopLine);
  const Outcome outcome = Run({(dir_ / "x.qif").string()});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err, "Error 8: cannot convert " + (dir_ / "x.qif").string() +
                             ": the QIF file would replace the statement itself\n");
  EXPECT_EQ(Read(dir_ / "x.qif"), kShopLine);
  EXPECT_EQ(Files(), std::vector<std::string>{"x.qif"});
}

TEST_F(EndToEnd, RunningTwiceReplacesTheOutput) {
  Write(dir_ / "stmt.qfx", kShopLine);
  Write(dir_ / "stmt.qif", std::string(100000, 'x'));
  EXPECT_EQ(Run({(dir_ / "stmt.qfx").string()}).status, 0);
  EXPECT_EQ(Run({(dir_ / "stmt.qfx").string()}).status, 0);
  EXPECT_EQ(Read(dir_ / "stmt.qif"), kShopQif);
  EXPECT_EQ(Files(), (std::vector<std::string>{"stmt.qfx", "stmt.qif"}));
}

TEST_F(EndToEnd, NewOutputGetsOrdinaryPermissions) {
  Write(dir_ / "stmt.qfx", kShopLine);
  const mode_t previous = umask(022);
  EXPECT_EQ(Run({(dir_ / "stmt.qfx").string()}).status, 0);
  umask(previous);
  EXPECT_EQ(fs::status(dir_ / "stmt.qif").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
}

TEST_F(EndToEnd, EmptyInputGivesOnlyTheHeader) {
  Write(dir_ / "empty.qfx", "");
  const Outcome outcome = Run({(dir_ / "empty.qfx").string()});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(Read(dir_ / "empty.qif"), "!Type:Bank\r\n");
}

TEST_F(EndToEnd, VersionAndHelp) {
  Outcome version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Ledgerlift 1.0.0\n");
  Outcome help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: ledgerlift FILE.qfx"), std::string::npos);
}

// `ledgerlift "$FILE"` with an empty $FILE fails, so that a script notices.
TEST_F(EndToEnd, AnExplicitEmptyArgumentIsAMissingName) {
  for (const char* empty : {"", "\"\""}) {
    const Outcome outcome = Run({empty});
    EXPECT_EQ(outcome.status, 2) << empty;
    EXPECT_EQ(outcome.err, "Input File Name is missing.\n") << empty;
    EXPECT_EQ(outcome.out, "") << empty;
  }
  EXPECT_EQ(Files(), std::vector<std::string>{});
}

TEST_F(EndToEnd, SeveralFilesEachConvertedBesideItself) {
  fs::create_directory(dir_ / "in");
  Write(dir_ / "a.qfx", kShopLine);
  Write(dir_ / "in" / "b.qfx", std::string(kShopLine) + "<STMTTRN><NAME>X\r\n");
  Write(dir_ / "c.qfx", kShopLine);
  const Outcome outcome = Run({"a.qfx", "in/b.qfx", "c.qfx"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "in/b.qfx: Failed to read 1 lines of data from QFX file.\n");
  EXPECT_EQ(Read(dir_ / "a.qif"), kShopQif);
  EXPECT_EQ(Read(dir_ / "in" / "b.qif"), kShopQif);
  EXPECT_EQ(Read(dir_ / "c.qif"), kShopQif);

  // One missing: the others are converted all the same; the worst status.
  const Outcome missing = Run({"x.qfx", "a.qfx", "in/b.qfx"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err,
            "x.qfx: Error 2: cannot open input file x.qfx: No such file or directory\n"
            "in/b.qfx: Failed to read 1 lines of data from QFX file.\n");
  EXPECT_EQ(Files(), (std::vector<std::string>{"a.qfx", "a.qif", "c.qfx", "c.qif", "in",
                                               "in/b.qfx", "in/b.qif"}));
}

TEST_F(EndToEnd, NameHoldingQuotes) {
  Write(dir_ / "say \"hi\".qfx", kShopLine);
  const Outcome outcome = Run({(dir_ / "say \"hi\".qfx").string()});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(Read(dir_ / "say \"hi\".qif"), kShopQif);
  // A path the whole command line names is still converted as one.
  Write(dir_ / "a.qfx b.qfx", kShopLine);
  Write(dir_ / "a.qfx", "");
  EXPECT_EQ(Run({"a.qfx", "b.qfx"}).status, 0);
  EXPECT_EQ(Read(dir_ / "a.qfx b.qif"), kShopQif);
  EXPECT_FALSE(fs::exists(dir_ / "a.qif"));
}

}  // namespace
