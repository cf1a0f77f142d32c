// Arbitrary command lines and folders through the path rules, with "/" and
// with "\" as the separator: the output lands beside the input, its folder
// part kept, or in the chosen folder (the input's own when none is chosen),
// under a ".qif" name made from the input's last path piece.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "launch/command_line.h"
#include "run/paths.h"

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
  Check(ledgerlift::WholeLineAsOnePath(argument) == argument,
        "removing quotes twice changes nothing");
}

bool IsSeparator(char c, char separator) {
  return c == separator || (separator == '\\' && c == '/');
}

bool HasSeparator(std::string_view text, char separator) {
  return std::any_of(text.begin(), text.end(),
                     [separator](char c) { return IsSeparator(c, separator); });
}

// The output's name is the same beside the input and in any chosen folder:
// the input's last piece cut at its last full stop, then ".qif"; a full stop
// that starts the piece starts no extension.
void CheckName(std::string_view piece, const std::string& name, char separator) {
  Check(EndsWith(name, ".qif"), "the output name ends in .qif");
  const std::string_view stem = std::string_view(name).substr(0, name.size() - 4);
  Check(!HasSeparator(stem, separator), "the name holds no separator");
  Check(piece.substr(0, stem.size()) == stem, "the name starts the input's last piece");
  if (stem.size() == piece.size()) {
    const size_t last = piece.rfind('.');
    Check(last == 0 || last == std::string_view::npos,
          "a whole piece is kept only without an extension");
    return;
  }
  Check(!stem.empty() && piece[stem.size()] == '.', "the name is cut at a full stop");
  Check(piece.find('.', stem.size() + 1) == std::string::npos,
        "the name is cut at the last full stop");
}

void CheckOutputPaths(const std::string& argument, const std::string& chosen_folder,
                      char separator) {
  const std::string in_folder =
      ledgerlift::OutputPath(argument, chosen_folder, separator);
  const std::string beside = ledgerlift::OutputPathBeside(argument, separator);
  if (chosen_folder.empty()) {  // the window's box emptied
    Check(in_folder == beside, "no chosen folder means the input's own");
    return;
  }
  Check(in_folder.compare(0, chosen_folder.size(), chosen_folder) == 0 &&
            in_folder.size() > chosen_folder.size() &&
            in_folder[chosen_folder.size()] == separator,
        "the output lies in the chosen folder");
  const std::string name = in_folder.substr(chosen_folder.size() + 1);

  Check(EndsWith(beside, name), "beside the input, the output has the same name");
  const std::string folder = beside.substr(0, beside.size() - name.size());
  const std::string current = std::string(".") + separator;
  if (folder == current && argument.compare(0, 2, current) != 0) {
    Check(!HasSeparator(argument, separator),
          "a name without a folder lies in the current one");
    CheckName(argument, name, separator);
    return;
  }
  Check(argument.compare(0, folder.size(), folder) == 0,
        "the input's folder part is kept");
  const bool drive = separator == '\\' && folder.size() == 2 && folder[1] == ':';
  Check(drive || (!folder.empty() && IsSeparator(folder.back(), separator)),
        "the folder part ends in a separator or is a drive");
  const std::string piece = argument.substr(folder.size());
  Check(!HasSeparator(piece, separator), "the folder part ends at the last separator");
  CheckName(piece, name, separator);
  // Dropped beside itself, a ".qfx" file becomes the same path ending ".qif"
  // (unless ".qfx" is its whole name, which is then no extension).
  if (EndsWith(argument, ".qfx") && piece != ".qfx") {
    Check(beside == argument.substr(0, argument.size() - 3) + "qif",
          "stmt.qfx becomes stmt.qif beside it");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const char separator = provider.ConsumeBool() ? '\\' : '/';
  const std::string chosen_folder = provider.ConsumeRandomLengthString(64);
  const std::string command_line = provider.ConsumeRemainingBytesAsString();

  const std::string argument = ledgerlift::WholeLineAsOnePath(command_line);
  CheckArgument(command_line, argument);
  CheckOutputPaths(argument, chosen_folder, separator);
  return 0;
}
