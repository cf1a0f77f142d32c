#include "window/windows_command_line.h"

namespace ledgerlift {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

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

}  // namespace ledgerlift
