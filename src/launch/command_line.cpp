#include "launch/command_line.h"

#include <algorithm>

namespace ledgerlift {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The options of the Linux program, each of which stands alone.
bool IsOption(std::string_view argument) {
  return argument == "--help" || argument == "-h" || argument == "--version" ||
         argument == "-V";
}

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

// The arguments, and the text that joins them with single blanks.
CommandLine JoinedArguments(std::vector<std::string> arguments) {
  CommandLine command_line{"", std::move(arguments)};
  for (size_t i = 0; i < command_line.arguments.size(); ++i) {
    if (i > 0) command_line.text += ' ';
    command_line.text += command_line.arguments[i];
  }
  return command_line;
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
  return JoinedArguments({argv + std::min(argc, 1), argv + argc});
}

LinuxStart LinuxStartOf(const CommandLine& command_line,
                        const std::function<bool(const std::string&)>& file_exists) {
  std::vector<std::string> arguments = command_line.arguments;
  const auto options_end = std::find(arguments.begin(), arguments.end(), "--");
  LinuxStart start;
  if (arguments.size() == 1) {
    const std::string& alone = arguments.front();
    if (alone == "--help" || alone == "-h") start.request = TerminalRequest::kHelp;
    if (alone == "--version" || alone == "-V") start.request = TerminalRequest::kVersion;
    if (start.request != TerminalRequest::kNone) return start;
  }
  for (auto argument = arguments.begin(); argument != options_end; ++argument) {
    if (argument->size() < 2 || argument->front() != '-' || file_exists(*argument))
      continue;
    if (file_exists(WholeLineAsOnePath(command_line.text))) break;
    start.option = *argument;
    start.request = IsOption(*argument) ? TerminalRequest::kOptionNotAlone
                                        : TerminalRequest::kUnknownOption;
    return start;
  }
  if (options_end != arguments.end()) arguments.erase(options_end);
  start.files = JoinedArguments(std::move(arguments));
  return start;
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
  if (arguments.empty() || std::all_of(arguments.begin(), arguments.end(), file_exists)) {
    return arguments;
  }
  std::string whole = WholeLineAsOnePath(command_line.text);
  if (file_exists(whole) || arguments.size() == 1) return {std::move(whole)};
  return arguments;
}

}  // namespace ledgerlift
