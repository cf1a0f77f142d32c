#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "run/file_system.h"
#include "statement/transaction.h"
#include "statement/values.h"

namespace ledgerlift {

// A failure that ends a run. The numbers are stable: users and scripts may
// look them up in the README. Number 7 is the window's own failure
// (kCreateWindowError in program/program.h); a run never uses it.
struct ConversionError {
  enum Number {
    kOutOfMemory = 1,
    kOpenInput = 2,
    kReadInput = 3,
    kCreateOutput = 4,
    kWriteOutput = 5,
    kReplaceOutput = 6,
    kOutputIsInput = 8,
    kNotAStatement = 9,
    kWrittenInThisRun = 10,
    kCutOff = 11,
    kBankError = 12,
  };
  int number;
  std::string description;  // names the path and the system's reason

  // "Error 2: cannot open input file /data/x.qfx: No such file or directory"
  std::string Message() const;
};

// A transaction that gave no record, and the line it begins on (from 1; 0
// where the input could not be read again to count its lines: a pipe).
struct FailedLine {
  std::uint64_t line = 0;
  FailedTransaction transaction;
};

struct RunResult {
  std::uint64_t failed_count = 0;
  std::vector<FailedLine> failed;        // the first kFailedKept of them
  std::optional<ConversionError> error;  // set when nothing was written
  // A whole statement that holds no transaction: its register has the
  // header only, which the user is told.
  bool no_transactions = false;
};

// The registers written so far in one run of several files (a command
// line, files dropped together), so that a later file never overwrites the
// register an earlier one wrote: `x.qfx x.ofx`, two `stmt.qfx` dropped from
// different folders. Registers and statements are told apart as files, not
// by their names; a statement named twice may write its register again.
class RunRegisters {
 public:
  struct Written {
    FileIdentity identity;
    FileIdentity input;
    std::string input_path;
  };
  // The statement other than `input` whose register is the file `identity`,
  // if this run wrote it.
  const Written* Find(const FileIdentity& identity, const FileIdentity& input) const;
  void Add(const Written& written);

 private:
  std::vector<Written> written_;
};

// Converts the file at `input_path` into `output_path` like a careful
// editor saves: the output is written to a temporary file in the folder of
// the file `output_path` names (a symbolic link is followed, and stays) and
// takes that file's place only when the whole input has been read and
// converted. A failure leaves an existing output exactly as it was and no
// temporary file behind. The temporary file is the user's alone until it is
// complete; a replaced output then keeps its permissions, and its new bytes
// reach the disk before it is replaced. An output that is the input itself,
// that nobody may write, that a link of another user leads to, that is
// another user's file in a folder others may write to, or that `registers`
// says this run already wrote, is refused before anything is read. A file
// that is no statement (empty, or neither an OFX statement nor one that
// gives a record), a statement cut off before its end, and a bank's error
// response are refused at the end, and so is an output whose name another
// program gave to another file during the run.
RunResult ConvertFile(FileSystem& files, const std::string& input_path,
                      const std::string& output_path, RunRegisters* registers = nullptr,
                      TextEncoding encoding = TextEncoding::kUtf8);

}  // namespace ledgerlift
