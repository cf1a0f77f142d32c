#include "launch/command_line.h"

#include <gtest/gtest.h>

#include <set>

#include "split_cases.h"

namespace ledgerlift {
namespace {

// What is left of GetCommandLine's text for the launch once the program's
// own name is taken off, as Explorer, a file association and cmd.exe start it.
TEST(ArgumentsAfterProgramName, TakesOffOnlyTheProgramsName) {
  const struct {
    const char* command_line;
    const char* arguments;
  } cases[] = {
      // Explorer quotes both the program and a dropped file with blanks.
      {"\"C:\\Program Files\\ledgerlift.exe\" \"C:\\My Files\\stmt.qfx\"",
       "\"C:\\My Files\\stmt.qfx\""},
      {"\"C:\\Program Files\\ledgerlift.exe\" C:\\Data\\stmt.qfx", "C:\\Data\\stmt.qfx"},
      {"ledgerlift.exe C:\\Data\\stmt.qfx", "C:\\Data\\stmt.qfx"},
      // The blanks of an unquoted path stay: the launch does not split.
      {"ledgerlift C:\\My Files\\stmt.qfx", "C:\\My Files\\stmt.qfx"},
      {"ledgerlift \t  stmt.qfx  ", "stmt.qfx  "},
      // A quote inside an unquoted name does not start a quoted part.
      {"ledger\"lift stmt.qfx", "stmt.qfx"},
      // A quoted name ends at its closing quote, even without a blank after.
      {"\"ledgerlift.exe\"stmt.qfx", "stmt.qfx"},
      // Window mode: nothing or only blanks after the name.
      {"\"C:\\Program Files\\ledgerlift.exe\"", ""},
      {"\"C:\\Program Files\\ledgerlift.exe\"  ", ""},
      {"ledgerlift.exe", ""},
      {"", ""},
      // A name whose closing quote is missing takes the whole line.
      {"\"C:\\ledgerlift.exe stmt.qfx", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ArgumentsAfterProgramName(c.command_line), c.arguments) << c.command_line;
  }
}

TEST(SplitWindowsArguments, FollowsTheRulesForQuotedArguments) {
  for (const SplitCase& c : kSplitCases) {
    EXPECT_EQ(SplitWindowsArguments(c.arguments), c.split) << c.arguments;
  }
}

TEST(CommandLineFromArgv, JoinsWithSingleBlanksAndKeepsEachArgument) {
  char program[] = "ledgerlift", my[] = "/tmp/my", file[] = "stmt.qfx", empty[] = "";
  const struct {
    std::vector<char*> argv;
    CommandLine command_line;
  } cases[] = {
      {{program}, {"", {}}},
      {{program, empty}, {"", {""}}},
      {{program, my, file}, {"/tmp/my stmt.qfx", {"/tmp/my", "stmt.qfx"}}},
  };
  for (const auto& c : cases) {
    std::vector<char*> argv = c.argv;
    const CommandLine line =
        CommandLineFromArgv(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(line.text, c.command_line.text);
    EXPECT_EQ(line.arguments, c.command_line.arguments);
  }
}

TEST(CommandLineFromWindows, TextAfterTheNameAndItsArguments) {
  const CommandLine line = CommandLineFromWindows(
      "\"C:\\Program Files\\ledgerlift.exe\" \"C:\\a b.qfx\" c.qfx");
  EXPECT_EQ(line.text, "\"C:\\a b.qfx\" c.qfx");
  EXPECT_EQ(line.arguments, (std::vector<std::string>{"C:\\a b.qfx", "c.qfx"}));
}

TEST(WholeLineAsOnePath, RemovesEveryQuoteAndKeepsBlanks) {
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
    EXPECT_EQ(WholeLineAsOnePath(c.command_line), c.argument) << c.command_line;
  }
}

// A Linux start: the help, the version, an option that converts nothing, or
// the files that follow the options, against a disk holding `existing`.
TEST(LinuxStartOf, OptionsAloneOrTheFilesThatFollowThem) {
  const std::set<std::string> existing = {"a.qfx", "-x.qfx", "--version", "-my stmt.qfx"};
  const auto exists = [&](const std::string& path) { return existing.count(path) > 0; };
  using Arguments = std::vector<std::string>;
  using enum TerminalRequest;
  const struct {
    Arguments arguments;
    TerminalRequest request;
    std::string option;
    CommandLine files;
  } cases[] = {
      {{}, kNone, "", {"", {}}},
      {{"--help"}, kHelp, "", {}},
      {{"-h"}, kHelp, "", {}},
      {{"--version"}, kVersion, "", {}},
      {{"-V"}, kVersion, "", {}},
      {{"a.qfx", "b c.qfx"}, kNone, "", {"a.qfx b c.qfx", {"a.qfx", "b c.qfx"}}},
      // An option the program does not know, or its own among files, converts
      // nothing at all, the other arguments included.
      {{"-o", "out.qif", "a.qfx"}, kUnknownOption, "-o", {}},
      {{"a.qfx", "--output=x"}, kUnknownOption, "--output=x", {}},
      {{"--help", "a.qfx"}, kOptionNotAlone, "--help", {}},
      {{"--from-desktop", "a.qfx"}, kUnknownOption, "--from-desktop", {}},
      // A file named like an option is a file; so is anything after `--`.
      {{"-x.qfx"}, kNone, "", {"-x.qfx", {"-x.qfx"}}},
      {{"--version", "a.qfx"}, kNone, "", {"--version a.qfx", {"--version", "a.qfx"}}},
      {{"-", "a.qfx"}, kNone, "", {"- a.qfx", {"-", "a.qfx"}}},
      {{"--", "-y.qfx"}, kNone, "", {"-y.qfx", {"-y.qfx"}}},
      {{"--", "--help"}, kNone, "", {"--help", {"--help"}}},
      {{"a.qfx", "--", "-y.qfx", "--"},
       kNone,
       "",
       {"a.qfx -y.qfx --", {"a.qfx", "-y.qfx", "--"}}},
      // The whole line naming a file: an unquoted name with blanks.
      {{"-my", "stmt.qfx"}, kNone, "", {"-my stmt.qfx", {"-my", "stmt.qfx"}}},
  };
  for (const auto& c : cases) {
    std::string text;
    for (const std::string& argument : c.arguments)
      text += (text.empty() ? "" : " ") + argument;
    const LinuxStart start = LinuxStartOf({text, c.arguments}, exists);
    EXPECT_EQ(start.request, c.request) << text;
    EXPECT_EQ(start.option, c.option) << text;
    EXPECT_EQ(start.files.text, c.files.text) << text;
    EXPECT_EQ(start.files.arguments, c.files.arguments) << text;
  }
}

// Which files a start converts, against a disk holding `existing`.
TEST(FilesToConvert, TheNamedFilesFirstThenTheWholeLine) {
  const std::set<std::string> existing = {
      "a.qfx",          "b.qfx",       "My Files/bank stmt.qfx",
      "say \"hi\".qfx", "a.qfx b.qfx", "c.qfx",
      "x.qfx",          "\"x\".qfx"};
  const auto exists = [&](const std::string& path) { return existing.count(path) > 0; };
  using Files = std::vector<std::string>;
  const struct {
    const char* name;
    CommandLine command_line;
    Files files;
  } cases[] = {
      {"no argument at all: window mode", {"", {}}, {}},
      {"an explicit empty argument: a conversion", {"", {""}}, {""}},
      {"quotes only (Windows): an empty name", {"\"\"", {""}}, {""}},
      {"one file", {"a.qfx", {"a.qfx"}}, {"a.qfx"}},
      {"one missing file: converted (and reported)", {"y.qfx", {"y.qfx"}}, {"y.qfx"}},
      {"an unquoted path with blanks, split by the shell",
       {"My Files/bank stmt.qfx", {"My", "Files/bank", "stmt.qfx"}},
       {"My Files/bank stmt.qfx"}},
      {"files named are converted, not a file named like the whole line",
       {"a.qfx b.qfx", {"a.qfx", "b.qfx"}},
       {"a.qfx", "b.qfx"}},
      {"a file whose name is the whole line, quoted",
       {"\"a.qfx b.qfx\"", {"a.qfx b.qfx"}},
       {"a.qfx b.qfx"}},
      {"several files", {"b.qfx a.qfx", {"b.qfx", "a.qfx"}}, {"b.qfx", "a.qfx"}},
      {"several files, one missing",
       {"a.qfx y.qfx", {"a.qfx", "y.qfx"}},
       {"a.qfx", "y.qfx"}},
      {"several quoted files (Windows)",
       {"\"b.qfx\" \"c.qfx\"", {"b.qfx", "c.qfx"}},
       {"b.qfx", "c.qfx"}},
      {"a name holding quotes (Linux)",
       {"say \"hi\".qfx", {"say \"hi\".qfx"}},
       {"say \"hi\".qfx"}},
      {"a name holding quotes beside the name without them (Linux)",
       {"\"x\".qfx", {"\"x\".qfx"}},
       {"\"x\".qfx"}},
      {"a missing name holding quotes: the line without its quotes, when a file",
       {"\"c\".qfx", {"\"c\".qfx"}},
       {"c.qfx"}},
      {"a missing name holding quotes, and no such file either: the line",
       {"say \"no\".qfx", {"say \"no\".qfx"}},
       {"say no.qfx"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FilesToConvert(c.command_line, exists), c.files) << c.name;
  }
}

}  // namespace
}  // namespace ledgerlift
