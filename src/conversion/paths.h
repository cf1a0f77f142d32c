#pragma once

#include <string>
#include <string_view>

namespace ledgerlift {

// Path rules. Paths are plain texts; `separator` is the only separator ("/"
// on Linux, "\" on Windows). Nothing is looked up on disk or normalised.

// The input path in a command line: the whole text with every double quote
// removed, not trimmed and not split at blanks. Empty means window mode.
std::string CommandLineArgument(std::string_view command_line);

// The folder the output goes to: the text before the argument's last
// separator ("C:\Data\stmt.qfx" gives "C:\Data", "\\server\share\x.qfx"
// gives "\\server\share", "/stmt.qfx" gives "" so that the output lands at
// the root again). An argument without a separator lies in the current
// folder: ".".
std::string OutputDirectoryOf(std::string_view argument, char separator);

// The output path: `output_directory`, the separator, then the input's last
// path piece with its extension (from its last ".") replaced by ".qif". A
// "." that starts the piece starts no extension: ".statement" gives
// ".statement.qif". The separator is always inserted, also after a
// directory ending in one. An empty `output_directory` (the window's box
// emptied) means the input's own folder, as in conversion mode.
std::string OutputPath(std::string_view file_name,
                       std::string_view output_directory, char separator);

}  // namespace ledgerlift
