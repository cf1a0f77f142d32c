#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ledgerlift {

// The command line as the launch reads it: the whole text after the
// program's own name, and the same text split into arguments the way the
// platform splits it. File names are UTF-8 on both platforms.
struct CommandLine {
  std::string text;
  std::vector<std::string> arguments;
};

// The input path in a command line: the whole text with every double quote
// removed, not trimmed and not split at blanks. Empty means no file name.
std::string WholeLineAsOnePath(std::string_view command_line);

// Linux: the arguments as the caller passed them; the text joins them with
// single blanks, so an unquoted path with blanks arrives whole.
CommandLine CommandLineFromArgv(int argc, char** argv);

// The environment variable the desktop entry sets (`Exec=env
// LEDGERLIFT_FROM_DESKTOP=1 ledgerlift %F`, Linux): the desktop started the
// program, so its messages are dialogs. Without it they go to standard
// error, whatever display there is: a script never waits on a dialog. No
// argument can say so, so a file of any name is a file.
inline constexpr char kFromDesktopVariable[] = "LEDGERLIFT_FROM_DESKTOP";

// What a Linux start asks for: the help or the version (the option alone:
// `--help` or `-h`, `--version` or `-V`), the files to convert, or nothing
// because of an option it does not know.
enum class TerminalRequest { kNone, kHelp, kVersion, kUnknownOption, kOptionNotAlone };
struct LinuxStart {
  TerminalRequest request = TerminalRequest::kNone;
  std::string option;  // the option at fault
  CommandLine files;   // for kNone
};

// Reads a Linux command line. `--` ends the options: what follows is a file,
// whatever its name (`ledgerlift -- -x.qfx`); it is taken off, the first
// one only. Before it, an argument that starts with "-" and names no
// existing file is an option; one we do not know, or one of ours among other
// arguments, converts nothing, unless the whole line names a file (an
// unquoted `-my statement.qfx`). The files' text joins them with single
// blanks again.
LinuxStart LinuxStartOf(const CommandLine& command_line,
                        const std::function<bool(const std::string&)>& file_exists);

// Windows: `command_line` is the process's command line (GetCommandLineW,
// in UTF-8). The text is what follows the program's name; the arguments are
// that text split as CommandLineToArgvW splits it.
CommandLine CommandLineFromWindows(std::string_view command_line);

// The arguments part of a Windows process command line: the program's own
// name taken off the front, then the blanks and tabs that separate it from
// the arguments, as Windows does for WinMain. A name starting with `"` runs
// to the next `"` (so it may hold blanks); any other name runs to the first
// blank or tab. The rest is kept as it is, quotes included.
std::string_view ArgumentsAfterProgramName(std::string_view command_line);

// The Windows rules for quoted arguments (CommandLineToArgvW, after the
// program's name): blanks and tabs outside quotes separate arguments; a `"`
// starts or ends a quoted part, which may sit inside an argument; "" inside
// a quoted part is a literal `"` and ends the part; 2n backslashes before a
// `"` become n, 2n+1 become n and a literal `"`; other backslashes are kept.
std::vector<std::string> SplitWindowsArguments(std::string_view arguments);

// The files a start asks to convert, each into its own folder. None (no
// argument at all) selects window mode. When every argument, as the system
// split them, names an existing file, those are converted: the file named is
// the one converted. Otherwise the whole text with its double quotes
// removed is one path (an unquoted `My Files/stmt.qfx`), converted when it
// names an existing file or when there is only one argument (which then
// reports the missing file, or the missing name for `""`). Otherwise every
// argument is converted in turn, and each that names no file reports so.
std::vector<std::string> FilesToConvert(
    const CommandLine& command_line,
    const std::function<bool(const std::string&)>& file_exists);

}  // namespace ledgerlift
