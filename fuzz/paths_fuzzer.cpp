// Arbitrary command lines and folders through the path rules, with "/" and
// with "\" as the separator: the output always lands in the chosen folder
// (the input's own when none is chosen) under a ".qif" name made from the
// input's last path piece.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "conversion/paths.h"

namespace {

void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
  }
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

void CheckArgument(std::string_view command_line, const std::string& argument) {
  Check(argument.find('"') == std::string::npos, "no quote is left");
  Check(argument.size() + std::count(command_line.begin(), command_line.end(), '"') ==
            command_line.size(),
        "only quotes are removed");
  Check(ledgerlift::CommandLineArgument(argument) == argument, "removing quotes twice changes nothing");
}

void CheckDirectory(const std::string& argument, const std::string& directory, char separator) {
  if (argument.find(separator) == std::string::npos) {
    Check(directory == ".", "an argument without a folder lies in the current one");
    return;
  }
  Check(argument.compare(0, directory.size(), directory) == 0, "the folder is the argument's start");
  Check(argument[directory.size()] == separator, "a separator follows the folder");
  Check(argument.find(separator, directory.size() + 1) == std::string::npos,
        "the folder ends at the last separator");
}

void CheckOutputPath(const std::string& file_name, const std::string& chosen_directory,
                     char separator) {
  const std::string path = ledgerlift::OutputPath(file_name, chosen_directory, separator);
  // No folder chosen (the window's box emptied): the input's own.
  const std::string directory = chosen_directory.empty()
                                    ? ledgerlift::OutputDirectoryOf(file_name, separator)
                                    : chosen_directory;
  Check(path.compare(0, directory.size(), directory) == 0 &&
            path.size() > directory.size() && path[directory.size()] == separator,
        "the output lies in the folder");
  Check(EndsWith(path, ".qif"), "the output name ends in .qif");
  const std::string name = path.substr(directory.size() + 1, path.size() - directory.size() - 5);
  Check(name.find(separator) == std::string::npos, "the name holds no separator");
  const std::string piece = file_name.substr(file_name.rfind(separator) + 1);
  Check(piece.compare(0, name.size(), name) == 0, "the name starts the input's last piece");
  Check(name.size() == piece.size() || piece[name.size()] == '.',
        "the name is cut at a full stop");
  Check(piece.find('.', name.size() + 1) == std::string::npos,
        "the name is cut at the last full stop");
  Check(name.size() > 0 || piece.empty(), "a leading full stop starts no extension");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const char separator = provider.ConsumeBool() ? '\\' : '/';
  const std::string chosen_folder = provider.ConsumeRandomLengthString(64);
  const std::string command_line = provider.ConsumeRemainingBytesAsString();

  const std::string argument = ledgerlift::CommandLineArgument(command_line);
  CheckArgument(command_line, argument);
  const std::string directory = ledgerlift::OutputDirectoryOf(argument, separator);
  CheckDirectory(argument, directory, separator);
  CheckOutputPath(argument, directory, separator);
  CheckOutputPath(argument, chosen_folder, separator);

  // Dropped beside itself, a ".qfx" file becomes the same path ending ".qif";
  // a file named only ".qfx" has no extension and gains one.
  if (EndsWith(argument, ".qfx") && argument.find(separator) != std::string::npos) {
    const bool only_extension = argument[argument.size() - 5] == separator;
    Check(ledgerlift::OutputPath(argument, directory, separator) ==
              (only_extension ? argument + ".qif"
                              : argument.substr(0, argument.size() - 3) + "qif"),
          "stmt.qfx becomes stmt.qif beside it");
  }
  return 0;
}
