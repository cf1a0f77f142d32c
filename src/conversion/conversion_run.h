#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "conversion/file_system.h"

namespace ledgerlift {

// A failure that ends a run. The numbers are stable: users and scripts may
// look them up in the README. Number 7 is the window's own failure
// (kCreateWindowError in window/form.h); a run never uses it.
struct ConversionError {
  enum Number {
    kOutOfMemory = 1,
    kOpenInput = 2,
    kReadInput = 3,
    kCreateOutput = 4,
    kWriteOutput = 5,
    kReplaceOutput = 6,
    kOutputIsInput = 8,
  };
  int number;
  std::string description;  // names the path and the system's reason

  // "Error 2: cannot open input file /data/x.qfx: No such file or directory"
  std::string Message() const;
};

struct RunResult {
  std::uint64_t failed_count = 0;
  std::optional<ConversionError> error;  // set when nothing was written
};

// Converts the file at `input_path` into `output_path` like a careful
// editor saves: the output is written to a temporary file in the folder of
// the file `output_path` names (a symbolic link is followed, and stays) and
// takes that file's place only when the whole input has been read and
// converted. A failure leaves an existing output exactly as it was and no
// temporary file behind. A replaced output keeps its permissions; its new
// bytes reach the disk before it is replaced. An output that is the input
// itself, or that nobody may write, is refused before anything is read.
RunResult ConvertFile(FileSystem& files, const std::string& input_path,
                      const std::string& output_path);

}  // namespace ledgerlift
