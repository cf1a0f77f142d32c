// Runs the built program in a temporary folder and checks what a user gets:
// the output bytes, the message on standard error and the exit status.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
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

// The shipped statements: one transaction per line, one tag per line, XML,
// a checking account and a credit card in one file, values on the line after
// their tags, a brokerage account.
constexpr const char* kExamples[] = {"statement",           "checking-one-tag-per-line",
                                     "credit-card-xml",     "checking-and-credit-card",
                                     "values-on-next-line", "brokerage"};

// Each shipped statement converts into the register shipped beside it.
TEST_F(EndToEnd, ConvertsTheShippedExamples) {
  for (const char* name : kExamples) {
    const fs::path example = fs::path(LEDGERLIFT_EXAMPLES) / name;
    fs::copy_file(example.string() + ".qfx", dir_ / (std::string(name) + ".qfx"));
    const Outcome outcome = Run(dir_ / (std::string(name) + ".qfx"));
    EXPECT_EQ(outcome.status, 0) << name << ": " << outcome.err;
    EXPECT_EQ(outcome.err, "") << name;
    EXPECT_EQ(Read(dir_ / (std::string(name) + ".qif")), Read(example.string() + ".qif"))
        << name;
  }
}

// An investment statement's failed trades are told the same way, in its
// own words.
TEST_F(EndToEnd, FailedTradesAreToldWhereTheyBegin) {
  Write(dir_ / "brokerage.qfx",
        "OFXHEADER:100\r\n\r\n<OFX><INVSTMTRS><INVTRANLIST>\r\n"
        "<JRNLFUND><INVTRAN><FITID>1<DTTRADE>20240101</INVTRAN><TOTAL>5</JRNLFUND>\r\n"
        "<BUYSTOCK><INVBUY><INVTRAN><FITID>2</INVTRAN><SECID><UNIQUEID>X</SECID><UNITS>1"
        "<UNITPRICE>2<TOTAL>-2</INVBUY></BUYSTOCK>\r\n</INVTRANLIST></INVSTMTRS></"
        "OFX>\r\n");
  const Outcome outcome = Run(dir_ / "brokerage.qfx");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err,
            "Failed to read 2 lines of data from QFX file.\n"
            "  line 4: a kind of transaction no register has an action for\n"
            "  line 5: no date\n");
}

// A download cut off anywhere, at any transaction's end or start (a
// trade's, a security's), or after its first 300 bytes, replaces nothing:
// every shipped statement is a whole OFX statement, and each of its cuts is
// refused as one.
TEST_F(EndToEnd, ShippedExamplesCutOffReplaceNothing) {
  constexpr const char* kPrecious = "an earlier register, kept as it is";
  for (const char* name : kExamples) {
    const std::string whole =
        Read(fs::path(LEDGERLIFT_EXAMPLES) / (std::string(name) + ".qfx"));
    std::vector<size_t> cuts = {300};
    for (const char* tag : {"<STMTTRN>", "</STMTTRN>", "<INVTRAN>", "</SECINFO>"}) {
      for (size_t at = whole.find(tag); at != std::string::npos;
           at = whole.find(tag, at + 1))
        cuts.push_back(at + std::string_view(tag).size());
    }
    for (const size_t cut : cuts) {
      SCOPED_TRACE(std::string(name) + " cut after " + std::to_string(cut) + " bytes");
      Clear();
      Write(dir_ / "cut.qfx", whole.substr(0, cut));
      Write(dir_ / "cut.qif", kPrecious);
      const Outcome outcome = Run(dir_ / "cut.qfx");
      EXPECT_EQ(outcome.status, 2);
      EXPECT_EQ(outcome.err.substr(0, 10), "Error 11: ");
      EXPECT_EQ(Read(dir_ / "cut.qif"), kPrecious);
      EXPECT_EQ(Files(), (std::vector<std::string>{"cut.qfx", "cut.qif"}));
    }
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

// On standard error the sentence is followed by a line for each failed
// transaction, at most ten: the line it begins on (CR LF, LF and CR each end
// one) and what it lacks.
TEST_F(EndToEnd, FailedLinesAreReportedAfterTheOutputIsWritten) {
  const std::string failing =
      "<STMTTRN><NAME>X\r\n<STMTTRN><TRNTYPE>DEBIT<TRNAMT>N/A\r<DTPOSTED>TODAY\n<STMTTRN>"
      "<TRNTYPE>CREDIT<DTPOSTED>20110302<TRNAMT>1\r\n";
  Write(dir_ / "stmt.qfx",
        kShopStatement + failing + Repeat("\r\n<STMTTRN><TRNTYPE>X<DTPOSTED>2011", 11));
  const Outcome outcome = Run(dir_ / "stmt.qfx");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err,
            "Failed to read 13 lines of data from QFX file.\n"
            "  line 2: no type, no date, no amount\n"
            "  line 3: a date that is no date (\"TODAY\"), an amount without a digit "
            "(\"N/A\")\n"
            "  line 7: no amount\n"
            "  line 8: no amount\n  line 9: no amount\n  line 10: no amount\n"
            "  line 11: no amount\n  line 12: no amount\n  line 13: no amount\n"
            "  line 14: no amount\n  … and 3 more\n");
  EXPECT_EQ(Read(dir_ / "stmt.qif"),
            kShopRegister + Record("03-02-2011", "", "1", "CREDIT"));
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

// A file that is no statement (a saved "session expired" page, an empty
// download), a statement cut off and a bank's error response never replace
// a register; a statement that merely lists no transactions gives the
// header alone, and says so.
TEST_F(EndToEnd, OnlyAWholeStatementGivesARegister) {
  const std::string not_ofx =
      " is not a QFX/OFX statement. Download the statement from your bank again, "
      "choosing "
      "Quicken (QFX), OFX or Money format.";
  const std::string sgml = "OFXHEADER:100\r\nDATA:OFXSGML\r\n\r\n<OFX>";
  const struct {
    const char* name;
    std::string input;
    const char* register_after;  // nullptr: the old one, byte for byte
    std::string message;         // after "Error N: PATH", or the whole message
    int number = 9;
  } cases[] = {
      {"web page", "<!DOCTYPE html>\n<html><title>Session expired</title></html>\n",
       nullptr, not_ofx},
      {"a page that mentions OFX in a comment",
       "<html><!-- <OFX> -->Session expired</html>", nullptr, not_ofx},
      {"empty file", "", nullptr,
       " is empty. Download the statement from your bank again."},
      {"PDF", "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<< /Type /Catalog >>\n", nullptr,
       not_ofx},
      {"CSV", "Date,Payee,Amount\r\n2011-03-02,CORNER SHOP,-12.50\r\n", nullptr, not_ofx},
      {"transaction lines of which none gives a record", "<STMTTRN><NAME>X\r\n", nullptr,
       not_ofx},
      {"a statement cut off after a whole transaction", sgml + kShopLine, nullptr,
       " ends before its end: the download was cut off; download it again", 11},
      {"a statement cut off in a comment", sgml + kShopLine + "<!-- </OFX>", nullptr,
       " ends before its end: the download was cut off; download it again", 11},
      {"a bank's error response",
       sgml + "<STATUS><CODE>2003<SEVERITY>ERROR<MESSAGE>Unknown account</STATUS></OFX>",
       nullptr,
       " is the bank's error message, not a statement: \"Unknown account\" (code 2003). "
       "Download the statement again, or ask your bank.",
       12},
      {"SGML statement without transactions",
       sgml + "<BANKMSGSRSV1></BANKMSGSRSV1></OFX>\r\n", "!Type:Bank\r\n",
       "The statement holds no transactions: its QIF file holds none either."},
      {"XML statement without transactions",
       "<?xml version=\"1.0\"?>\n<?OFX OFXHEADER=\"200\" VERSION=\"220\"?>\n<OFX/>\n",
       "!Type:Bank\r\n",
       "The statement holds no transactions: its QIF file holds none either."},
  };
  constexpr const char* kPrecious = "an earlier register, kept as it is";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    Write(dir_ / "download.qfx", c.input);
    Write(dir_ / "download.qif", kPrecious);
    const Outcome outcome = Run(dir_ / "download.qfx");
    if (c.register_after) {
      EXPECT_EQ(outcome.status, 0);
      EXPECT_EQ(outcome.err, c.message + "\n");
    } else {
      EXPECT_EQ(outcome.status, 2);
      EXPECT_EQ(outcome.err, "Error " + std::to_string(c.number) + ": " +
                                 (dir_ / "download.qfx").string() + c.message + "\n");
    }
    EXPECT_EQ(Read(dir_ / "download.qif"),
              c.register_after ? c.register_after : kPrecious);
    EXPECT_EQ(Files(), (std::vector<std::string>{"download.qfx", "download.qif"}));
  }
}

// Two statements of one run that lead to one register: the first one's is
// kept, whatever names lead to it.
TEST_F(EndToEnd, OneRegisterPerRun) {
  const struct {
    const char* name;
    const char* second;
    const char* second_output;
    bool linked;  // the second's register is a link to the first's
  } cases[] = {
      {"same name, another extension", "x.ofx", "./x.qif", false},
      {"a link to the first register", "y.qfx", "./y.qif", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    Write(dir_ / "x.qfx", kShopStatement);
    Write(dir_ / c.second, "<OFX></OFX>");
    if (c.linked) fs::create_symlink("x.qif", dir_ / c.second_output);
    const Outcome outcome = RunWith({"x.qfx", c.second});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, std::string(c.second) + ": Error 10: cannot convert " +
                               c.second + ": its QIF file " + c.second_output +
                               " was written from x.qfx in this run\n");
    EXPECT_EQ(Read(dir_ / "x.qif"), kShopRegister);
  }
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
  EXPECT_EQ(outcome.err,
            "in/b.qfx: Failed to read 1 lines of data from QFX file.\n"
            "  line 2: no type, no date, no amount\n");
  EXPECT_EQ(Read(dir_ / "a.qif"), kShopRegister);
  EXPECT_EQ(Read(dir_ / "in" / "b.qif"), kShopRegister);
  EXPECT_EQ(Read(dir_ / "c.qif"), kShopRegister);

  // One missing: the others are converted all the same; the worst status.
  const Outcome missing = RunWith({"x.qfx", "a.qfx", "in/b.qfx"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err,
            "x.qfx: Error 2: cannot open input file x.qfx: No such file or directory\n"
            "in/b.qfx: Failed to read 1 lines of data from QFX file.\n"
            "  line 2: no type, no date, no amount\n");
  EXPECT_EQ(Files(), (std::vector<std::string>{"a.qfx", "a.qif", "c.qfx", "c.qif", "in",
                                               "in/b.qfx", "in/b.qif"}));
}

// The file a command line names is the one converted, not one named like
// the whole line or like the name less its quotes; only when the arguments
// do not all name files is the whole line one path.
TEST_F(EndToEnd, TheFileNamedIsTheOneConverted) {
  using Names = std::vector<std::string>;
  const struct {
    const char* name;
    Names files;  // each holding kShopLine
    Names arguments;
    Names converted;  // the .qif files written, each kShopRegister
  } cases[] = {
      {"a name holding quotes",
       {"say \"hi\".qfx"},
       {"say \"hi\".qfx"},
       {"say \"hi\".qif"}},
      {"beside the same name without its quotes",
       {"\"x\".qfx", "x.qfx"},
       {"\"x\".qfx"},
       {"\"x\".qif"}},
      {"two files named, beside a file named like the whole line",
       {"a.qfx b.qfx", "a.qfx", "b.qfx"},
       {"a.qfx", "b.qfx"},
       {"a.qif", "b.qif"}},
      {"an unquoted path with blanks",
       {"a.qfx b.qfx"},
       {"a.qfx", "b.qfx"},
       {"a.qfx b.qif"}},
      {"-- ends the options", {"-x.qfx"}, {"--", "-x.qfx"}, {"-x.qif"}},
      {"-- before an ordinary name", {"a.qfx"}, {"--", "a.qfx"}, {"a.qif"}},
  };
  for (const auto& c : cases) {
    Clear();
    for (const std::string& file : c.files) Write(dir_ / file, kShopLine);
    const Outcome outcome = RunWith(c.arguments);
    EXPECT_EQ(outcome.status, 0) << c.name;
    EXPECT_EQ(outcome.err, "") << c.name;
    Names expected = c.files;
    expected.insert(expected.end(), c.converted.begin(), c.converted.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Files(), expected) << c.name;
    for (const std::string& register_name : c.converted) {
      EXPECT_EQ(Read(dir_ / register_name), kShopRegister) << c.name;
    }
  }
}

// A name cannot forge a line of a message nor send the terminal an escape
// sequence: its control characters are written out.
TEST_F(EndToEnd, ControlCharactersInNamesAreWrittenOut) {
  const Outcome outcome = RunWith({"gone\nx.qfx: all fine", "\x1b[2J.qfx"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err,
            "gone\\nx.qfx: all fine: Error 2: cannot open input file gone\\nx.qfx: all "
            "fine: No such file or directory\n"
            "\\x1b[2J.qfx: Error 2: cannot open input file \\x1b[2J.qfx: No such file or "
            "directory\n");
}

// A private X display while the test runs, when Xvfb is installed: a script
// in a desktop session meets one. Without Xvfb, a display that cannot be
// opened stands in.
class PrivateDisplay {
 public:
  PrivateDisplay() {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_RDWR);
      for (int stream : {0, 1, 2}) dup2(null, stream);
      const std::string fd = std::to_string(pipe_ends[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", nullptr);
      _exit(127);
    }
    close(pipe_ends[1]);
    char c;
    std::string number;
    while (read(pipe_ends[0], &c, 1) == 1 && c != '\n') number += c;
    close(pipe_ends[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~PrivateDisplay() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  const char* Name() const { return name_.empty() ? ":9999" : name_.c_str(); }
  bool Real() const { return !name_.empty(); }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// A script with a display and no terminal (cron, a service, `</dev/null
// >/dev/null 2>log`): the message goes to standard error and the run ends
// at once; no dialog waits for a click.
TEST_F(EndToEnd, AScriptWithADisplayNeverWaitsOnADialog) {
  const PrivateDisplay display;
  if (!display.Real()) std::printf("Xvfb is missing: DISPLAY names no display\n");
  Write(dir_ / "stmt.qfx", kShopStatement + "<STMTTRN>\r\n");
  const pid_t pid =
      Launch("stmt.qfx", {.standard_output = "/dev/null", .display = display.Name()});
  siginfo_t ended{};
  for (int wait = 0; wait < 100; ++wait) {
    waitid(P_PID, pid, &ended, WEXITED | WNOHANG | WNOWAIT);
    if (ended.si_pid == pid) break;
    usleep(100000);
  }
  if (ended.si_pid != pid) kill(pid, SIGKILL);
  const Outcome outcome = Wait(pid);
  EXPECT_EQ(outcome.signal, 0) << "still waiting after ten seconds";
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err,
            "Failed to read 1 lines of data from QFX file.\n"
            "  line 2: no type, no date, no amount\n");
}

}  // namespace
}  // namespace ledgerlift::testing_support
