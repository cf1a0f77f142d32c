#include "run/paths.h"

namespace ledgerlift {
namespace {

bool IsSeparator(char c, char separator) {
  return c == separator || (separator == '\\' && c == '/');
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The length of the folder part of `path`: through its last separator; on
// Windows, a path without one may still start with a drive ("Z:stmt.qfx").
size_t FolderPartLength(std::string_view path, char separator) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1], separator)) return i;
  }
  const bool drive =
      separator == '\\' && path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':';
  return drive ? 2 : 0;
}

// The output's name: the input's last path piece up to its last ".", then
// ".qif". A "." that starts the piece starts no extension: ".statement"
// gives ".statement.qif".
std::string QifName(std::string_view file_name, char separator) {
  std::string_view name = file_name.substr(FolderPartLength(file_name, separator));
  if (const size_t dot = name.rfind('.'); dot != 0 && dot != std::string_view::npos) {
    name.remove_suffix(name.size() - dot);
  }
  return std::string(name) + ".qif";
}

}  // namespace

std::string OutputPathBeside(std::string_view file_name, char separator) {
  const size_t folder = FolderPartLength(file_name, separator);
  if (folder == 0) return std::string(".") + separator + QifName(file_name, separator);
  return std::string(file_name.substr(0, folder)) + QifName(file_name, separator);
}

std::string OutputPath(std::string_view file_name, std::string_view output_directory,
                       char separator) {
  if (output_directory.empty()) return OutputPathBeside(file_name, separator);
  std::string path(output_directory);
  path += separator;
  path += QifName(file_name, separator);
  return path;
}

}  // namespace ledgerlift
