#include "launch/command_line.h"

namespace ledgerlift {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads one argument from `text` at `at`, which is not a blank, up to the
// blank that ends it outside quotes, and moves `at` past it.
std::string ReadWindowsArgument(std::string_view text, size_t& at) {
  std::string argument;
  bool quoted = false;
  size_t backslashes = 0;
  while (at < text.size() && (quoted || !IsBlank(text[at]))) {
    const char c = text[at++];
    if (c == '\\') {
      argument += c;
      ++backslashes;
      continue;
    }
    if (c != '"') {
      argument += c;
      backslashes = 0;
      continue;
    }
    // Half the backslashes before a quote stay; an odd one out makes the
    // quote a literal one.
    argument.resize(argument.size() - (backslashes + 1) / 2);
    if (backslashes % 2 == 1) {
      argument += '"';
    } else if (quoted && at < text.size() && text[at] == '"') {
      argument += '"';  // "" inside quotes: a literal quote, and the part ends
      ++at;
      quoted = false;
    } else {
      quoted = !quoted;
    }
    backslashes = 0;
  }
  return argument;
}

}  // namespace

std::string WholeLineAsOnePath(std::string_view command_line) {
  std::string argument;
  argument.reserve(command_line.size());
  for (char c : command_line) {
    if (c != '"') argument += c;
  }
  return argument;
}

CommandLine CommandLineFromArgv(int argc, char** argv) {
  CommandLine command_line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command_line.text += ' ';
    command_line.text += argv[i];
    command_line.arguments.emplace_back(argv[i]);
  }
  return command_line;
}

CommandLine CommandLineFromWindows(std::string_view command_line) {
  const std::string_view text = ArgumentsAfterProgramName(command_line);
  return {std::string(text), SplitWindowsArguments(text)};
}

std::string_view ArgumentsAfterProgramName(std::string_view command_line) {
  size_t end = 0;
  if (!command_line.empty() && command_line.front() == '"') {
    const size_t closing = command_line.find('"', 1);
    end = closing == std::string_view::npos ? command_line.size() : closing + 1;
  } else {
    while (end < command_line.size() && !IsBlank(command_line[end])) ++end;
  }
  while (end < command_line.size() && IsBlank(command_line[end])) ++end;
  return command_line.substr(end);
}

std::vector<std::string> SplitWindowsArguments(std::string_view arguments) {
  std::vector<std::string> split;
  size_t at = 0;
  for (;;) {
    while (at < arguments.size() && IsBlank(arguments[at])) ++at;
    if (at == arguments.size()) return split;
    split.push_back(ReadWindowsArgument(arguments, at));
  }
}

std::vector<std::string> FilesToConvert(
    const CommandLine& command_line,
    const std::function<bool(const std::string&)>& file_exists) {
  const std::vector<std::string>& arguments = command_line.arguments;
  if (arguments.empty()) return {};
  std::string whole = WholeLineAsOnePath(command_line.text);
  if (file_exists(whole)) return {std::move(whole)};
  if (arguments.size() >= 2 || file_exists(arguments.front())) return arguments;
  return {std::move(whole)};
}

TerminalRequest TerminalRequestOf(const CommandLine& command_line) {
  if (command_line.arguments.size() != 1) return TerminalRequest::kNone;
  const std::string& option = command_line.arguments.front();
  if (option == "--help" || option == "-h") return TerminalRequest::kHelp;
  if (option == "--version") return TerminalRequest::kVersion;
  return TerminalRequest::kNone;
}

}  // namespace ledgerlift
