#include "conversion/paths.h"

namespace ledgerlift {

std::string CommandLineArgument(std::string_view command_line) {
  std::string argument;
  argument.reserve(command_line.size());
  for (char c : command_line) {
    if (c != '"') argument += c;
  }
  return argument;
}

std::string OutputDirectoryOf(std::string_view argument, char separator) {
  const size_t last = argument.rfind(separator);
  if (last == std::string_view::npos) return ".";
  return std::string(argument.substr(0, last));
}

std::string OutputPath(std::string_view file_name,
                       std::string_view output_directory, char separator) {
  std::string_view name = file_name;
  if (const size_t last = name.rfind(separator); last != std::string_view::npos) {
    name.remove_prefix(last + 1);
  }
  if (const size_t dot = name.rfind('.'); dot != 0 && dot != std::string_view::npos) {
    name.remove_suffix(name.size() - dot);
  }
  std::string path = output_directory.empty() ? OutputDirectoryOf(file_name, separator)
                                              : std::string(output_directory);
  path += separator;
  path += name;
  path += ".qif";
  return path;
}

}  // namespace ledgerlift
