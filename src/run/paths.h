#pragma once

#include <string>
#include <string_view>

namespace ledgerlift {

// Path rules. Paths are plain texts; `separator` names the platform's path
// forms. With '/' (Linux) only "/" separates folders. With '\' (Windows) "\"
// and "/" both separate, and a name may start with a drive, "C:\Data\x.qfx"
// or drive-relative "Z:x.qfx" (the current folder of drive Z:). Nothing is
// looked up on disk or normalised.

// The output path beside the input: the input's folder part kept exactly as
// written (up to its last separator, or its drive "Z:"), then the input's
// last path piece with its extension replaced by ".qif", as OutputPath does.
// A name without a folder lies in the current folder: "./stmt.qif".
// "C:/Data/stmt.qfx" gives "C:/Data/stmt.qif", "Z:stmt.qfx" "Z:stmt.qif".
std::string OutputPathBeside(std::string_view file_name, char separator);

// The output path in a chosen folder: `output_directory`, `separator`, then
// the input's last path piece with its extension (from its last ".")
// replaced by ".qif". A "." that starts the piece starts no extension:
// ".statement" gives ".statement.qif". The separator is always inserted,
// also after a directory ending in one. An empty `output_directory` (the
// window's box emptied) means the input's own folder: OutputPathBeside.
std::string OutputPath(std::string_view file_name, std::string_view output_directory,
                       char separator);

}  // namespace ledgerlift
