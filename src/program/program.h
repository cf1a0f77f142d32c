#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launch/command_line.h"
#include "program/platform.h"
#include "program/window_events.h"
#include "run/conversion_run.h"
#include "run/file_system.h"
#include "version.h"

namespace ledgerlift {

// The program's exit statuses: scripts and the README rely on them.
inline constexpr int kExitSuccess = 0;          // converted; also help, version, window
inline constexpr int kExitSomeLinesFailed = 1;  // written, some transactions not read
inline constexpr int kExitFailed = 2;           // nothing written or replaced

// The window could not be made (Windows): the one error number that is not a
// conversion's (the others are ConversionError's).
inline constexpr int kCreateWindowError = 7;

// The program's own texts.
inline constexpr std::string_view kMissingFileNameMessage = "Input File Name is missing.";
// A whole statement without a transaction (exit status 0): its register
// holds the header only, which the user should not mistake for a fault.
inline constexpr std::string_view kNoTransactionsMessage =
    "The statement holds no transactions: its QIF file holds none either.";

// "Failed to read 3 lines of data from QFX file."
std::string FailedLinesMessage(std::uint64_t count);

// What follows that sentence on standard error: a line for each of the
// first failed transactions, where it begins and what it lacks, then how
// many more there are ("  line 12: no date, an amount without a digit
// (\"N/A\")", "  … and 3 more"). A dialog or message box keeps the one
// sentence.
std::string FailedTransactionLines(const std::vector<FailedLine>& failed,
                                   std::uint64_t count);

// What --version prints.
inline constexpr std::string_view kVersionLine = "Ledgerlift " LEDGERLIFT_VERSION "\n";

// What a Linux start whose options convert nothing prints on standard error
// (exit status 2): an option it does not know (`-o`), or one of its own
// among other arguments (`--help stmt.qfx`). Two lines: what is wrong, and
// where to look.
std::string OptionMessage(TerminalRequest request, std::string_view option);

// What the window says, as lines for a terminal (--help, or no display).
inline constexpr std::string_view kTerminalHelp =
    "Ledgerlift " LEDGERLIFT_VERSION
    " converts QFX bank statements to QIF.\n"
    "\n"
    "Usage: ledgerlift FILE.qfx [FILE.qfx...]\n"
    "  Writes FILE.qif in the same folder as FILE.qfx and ends. Each\n"
    "  argument is a file. When they do not all name files, the whole\n"
    "  command line is one path (blanks kept, double quotes removed), so\n"
    "  an unquoted path with blanks works. After --, a name may start\n"
    "  with -: ledgerlift -- -stmt.qfx\n"
    "  On a desktop, drag a QFX file onto the program's icon, or associate\n"
    "  QFX files with the program and double-click one.\n"
    "\n"
    "  ledgerlift                show the window that explains this\n"
    "  ledgerlift --help, -h     show this text\n"
    "  ledgerlift --version, -V  show the version\n"
    "\n"
    "Exit status: 0 converted, 1 converted but some transactions could\n"
    "not be read, 2 failed (no output written).\n"
    "\n"
    "Created by Tessarine Inc - https://tessarine.com/\n";

// What a file said in a run of several files, for the one message at the
// end.
struct FileMessage {
  std::string file_name;
  std::string message;
};

// The message that ends a run of several files: one line per file that had
// something to say, "FILE: MESSAGE", in the order the files were converted
// (an empty name shows as "", control characters in a name written out as
// ShownName writes them). Lines are separated by "\n".
std::string GatheredMessage(const std::vector<FileMessage>& messages);

// The program, without a toolkit: it holds the output folder (the text of
// the window's output-folder box), runs the launch and the conversion, and
// handles the events of its controls. Back-ends draw it and forward events.
class Program : public WindowEvents {
 public:
  // `files` is the disk the conversions use; `separator` the platform's
  // path separator; `output_directory` the output folder's initial text ("C:\" on
  // Windows, the home folder on Linux).
  // `encoding` is that of the registers' text.
  Program(Platform& platform, FileSystem& files, char separator,
          std::string output_directory, TextEncoding encoding = TextEncoding::kUtf8);

  // The load handler. A command line without any argument selects window
  // mode (nothing). Otherwise the files it names (FilesToConvert) are
  // converted, each beside itself, and the exit status is returned.
  std::optional<int> Load(const CommandLine& command_line);

  // Converts `file_name` into the output folder, shows the message the run
  // calls for, and returns the exit status (0, 1 or 2).
  int ConvertIntoOutputFolder(const std::string& file_name);

  // The window could not be made, for the system's `reason`: shows Error 7
  // and returns the exit status.
  int WindowNotCreated(const std::string& reason);

  // The events of the window's controls, as both back-ends forward them.
  const std::string& OutputDirectory() const override { return output_directory_; }
  void SetOutputDirectory(std::string folder) override {
    output_directory_ = std::move(folder);
  }
  void OnWebLinkClick() override;
  const std::string& OnFolderButtonClick() override;
  void OnConvertButtonClick() override;
  void OnFilesDropped(const std::vector<std::string>& paths) override;

 private:
  enum class Destination { kBesideInput, kOutputDirectory };
  struct Outcome {
    int status;
    std::string message;  // empty when there is nothing to say
  };

  Outcome Convert(const std::string& file_name, Destination destination,
                  RunRegisters& registers) const;
  // Converts the files in turn and shows one message at the end: the file's
  // own for a single file, a gathered one naming each file for several. A
  // file whose register an earlier one of them wrote is refused.
  // Returns the worst exit status.
  int ConvertEach(const std::vector<std::string>& files, Destination destination);

  Platform& platform_;
  FileSystem& files_;
  char separator_;
  std::string output_directory_;
  TextEncoding encoding_;
};

}  // namespace ledgerlift
