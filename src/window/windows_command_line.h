#pragma once

#include <string_view>

namespace ledgerlift {

// The arguments part of a Windows process command line (what
// GetCommandLine returns): the program's own name taken off the front, then
// the blanks and tabs that separate it from the arguments, as Windows does
// for WinMain. A name starting with `"` runs to the next `"` (so it may hold
// blanks); any other name runs to the first blank or tab. The rest is kept
// as it is, quotes included: the launch removes them.
std::string_view ArgumentsAfterProgramName(std::string_view command_line);

}  // namespace ledgerlift
