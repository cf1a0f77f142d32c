#include "run/conversion_run.h"

#include <memory>
#include <new>
#include <optional>
#include <system_error>

#include "run/overlapped_disk.h"
#include "run/shown_name.h"
#include "statement/account_blocks.h"
#include "statement/converter.h"
#include "statement/statement_marks.h"

namespace ledgerlift {
namespace {

ConversionError Failure(int number, std::string_view what, const std::string& path,
                        std::string_view reason) {
  return {number, std::string(what) + " " + ShownName(path) + ": " + std::string(reason)};
}

// Runs one call on the disk; its failure ends the run with `number`.
template <typename Call>
auto Attempt(int number, std::string_view what, const std::string& path, Call call) {
  try {
    return call();
  } catch (const FileError& error) {
    throw Failure(number, what, path, error.what());
  }
}

// The converter's output on its way into the temporary file.
class OutputWriter : public ByteSink {
 public:
  OutputWriter(ByteSink& file, const std::string& path) : file_(file), path_(path) {}
  void Write(std::string_view bytes) override {
    Attempt(ConversionError::kWriteOutput, "cannot write output file", path_,
            [&] { file_.Write(bytes); });
  }
  PageBuffer WriteBlock(PageBuffer block, std::size_t size) override {
    return Attempt(ConversionError::kWriteOutput, "cannot write output file", path_,
                   [&] { return file_.WriteBlock(std::move(block), size); });
  }

 private:
  ByteSink& file_;
  const std::string& path_;
};

// Refuses an output that must not be replaced, before anything is read or
// created: a link another user put there (in a shared folder, it could lead
// to any file of the user's), the input itself (its register would only
// ever be emptied), a folder, a device or pipe (reached through a link),
// another user's file in a shared folder (put there to be read), a file
// nobody may write, a register an earlier file of the run wrote.
void CheckReplaceable(const ExistingOutput& existing, const InputFile& input,
                      const std::string& input_path, const std::string& output_path,
                      const RunRegisters* registers) {
  using Kind = ExistingOutput::Kind;
  if (existing.kind == Kind::kForeignLink) {
    throw Failure(ConversionError::kReplaceOutput, "cannot replace output file",
                  output_path, "the link belongs to another user");
  }
  if (existing.kind == Kind::kFile && existing.identity == input.Identity()) {
    throw Failure(ConversionError::kOutputIsInput, "cannot convert", input_path,
                  "the QIF file would replace the statement itself");
  }
  if (existing.kind == Kind::kFolder) {
    throw Failure(ConversionError::kReplaceOutput, "cannot replace output file",
                  output_path, std::make_error_code(std::errc::is_a_directory).message());
  }
  if (existing.kind == Kind::kOther) {
    throw Failure(ConversionError::kReplaceOutput, "cannot replace output file",
                  output_path, "not a regular file");
  }
  if (existing.foreign) {
    throw Failure(ConversionError::kReplaceOutput, "cannot replace output file",
                  output_path, "it belongs to another user");
  }
  if (existing.read_only) {
    throw Failure(ConversionError::kReplaceOutput, "cannot replace output file",
                  output_path, "the file is read-only");
  }
  const RunRegisters::Written* earlier =
      registers && existing.kind == Kind::kFile
          ? registers->Find(existing.identity, input.Identity())
          : nullptr;
  if (earlier) {
    throw Failure(ConversionError::kWrittenInThisRun, "cannot convert", input_path,
                  "its QIF file " + ShownName(output_path) + " was written from " +
                      ShownName(earlier->input_path) + " in this run");
  }
}

// Refuses what is no statement, or not a whole one, after the whole input
// was read: its register would look right but hold nothing, or too little.
void CheckStatement(const StatementMarks& marks, const Converter& converter,
                    const std::string& input_path) {
  const std::string shown = ShownName(input_path);
  if (marks.empty()) {
    throw ConversionError{
        ConversionError::kNotAStatement,
        shown + " is empty. Download the statement from your bank again."};
  }
  if (!marks.ofx()) {
    // Transaction lines without a header convert, when they give a record.
    if (converter.record_count() > 0) return;
    throw ConversionError{ConversionError::kNotAStatement,
                          shown +
                              " is not a QFX/OFX statement. Download the statement "
                              "from your bank again, choosing Quicken (QFX), OFX or "
                              "Money format."};
  }
  if (!marks.ends_closed() || converter.ended_in_markup()) {
    throw ConversionError{ConversionError::kCutOff,
                          shown +
                              " ends before its end: the download was cut off; "
                              "download it again"};
  }
  const std::optional<BankStatus>& bank = marks.bank_error();
  if (bank && converter.record_count() == 0 && converter.failed_count() == 0) {
    const std::string said =
        bank->message.empty() ? "" : ": \"" + ShownName(bank->message) + "\"";
    throw ConversionError{ConversionError::kBankError,
                          shown + " is the bank's error message, not a statement" + said +
                              " (code " + ShownName(bank->code) +
                              "). Download the statement again, or ask your bank."};
  }
}

// Feeds the whole input to the converter, block by block (with its segment
// starts, when listed beforehand) as `next_block` gives it; an input cut short while it
// was read (rewritten by another program) would give a register that looks whole but
// lacks the rest, so it fails, and so does an input that is no whole statement.
template <typename NextBlock>
void ConvertInput(NextBlock next_block, const InputFile& input,
                  const std::string& input_path, Converter& converter) {
  const std::optional<std::uint64_t> size = input.Size();
  StatementMarks marks;
  std::uint64_t read = 0;
  for (;;) {
    const auto [block, block_starts] = Attempt(
        ConversionError::kReadInput, "cannot read input file", input_path, next_block);
    converter.Feed(block, block_starts);
    marks.Look(block);
    read += block.size();
    if (block.size() < kReadBlockSize) break;
  }
  if ((size && read < *size) || input.MapCut()) {
    throw Failure(ConversionError::kReadInput, "cannot read input file", input_path,
                  "the file shrank while it was read");
  }
  converter.Finish();
  CheckStatement(marks, converter, input_path);
}

// The failed transactions with the lines they begin on, counted by
// reading the input again from its start as far as the last of them; a line
// ends at CR LF, LF or CR.
std::vector<FailedLine> FailedLines(const std::vector<FailedTransaction>& failed,
                                    InputFile& input) {
  std::vector<FailedLine> lines;
  for (const FailedTransaction& transaction : failed) lines.push_back({0, transaction});
  if (failed.empty() || !input.Rewind()) return lines;
  const PageBuffer block = NewPageBuffer(kReadBlockSize);
  std::uint64_t line = 1, offset = 0;
  bool after_cr = false;
  auto next = lines.begin();  // in the order of their offsets
  for (;;) {
    const size_t got = input.Read(block.get(), kReadBlockSize);
    for (size_t i = 0; i < got && next != lines.end(); ++i, ++offset) {
      for (; next != lines.end() && next->transaction.offset == offset; ++next) {
        next->line = line;
      }
      const char c = block[i];
      if (c == '\n' ? !after_cr : c == '\r') ++line;
      after_cr = c == '\r';
    }
    if (next == lines.end() || got < kReadBlockSize) break;
  }
  for (; next != lines.end(); ++next) next->line = line;  // at the input's very end
  return lines;
}

// Opens the input. A folder cannot be read as a statement: Linux opens it
// and fails at the first read, Windows refuses to open it; both give the
// same read failure.
std::unique_ptr<InputFile> OpenInput(FileSystem& files, const std::string& input_path) {
  try {
    return files.OpenInput(input_path);
  } catch (const FileError& error) {
    if (files.IsFolder(input_path)) {
      throw Failure(ConversionError::kReadInput, "cannot read input file", input_path,
                    std::make_error_code(std::errc::is_a_directory).message());
    }
    throw Failure(ConversionError::kOpenInput, "cannot open input file", input_path,
                  error.what());
  }
}

// Creates the temporary file and, when it replaces a register, reads what
// guards that register, before the statement is read.
void CreateTemporary(OutputFile& output, const InputFile& statement,
                     const std::string& output_path, bool replacing) {
  Attempt(ConversionError::kCreateOutput, "cannot create output file", output_path,
          [&] { output.Create(statement); });
  if (replacing) {
    Attempt(ConversionError::kReplaceOutput, "cannot replace output file", output_path,
            [&] { output.KeepAccess(); });
  }
}

// Rewrites the register the converter wrote into `output`'s temporary file
// as one block per account, into a second temporary file of the same
// output: the output is not looked up again, so what replaces it is what
// was checked before the statement was read.
void RewriteInBlocks(OutputFile& output, const std::string& output_path,
                     const Converter& converter, const InputFile& statement) {
  constexpr std::string_view kWrite = "cannot write output file";
  const std::unique_ptr<InputFile> written =
      Attempt(ConversionError::kWriteOutput, kWrite, output_path,
              [&] { return output.ReadBack(); });
  Attempt(ConversionError::kCreateOutput, "cannot create output file", output_path,
          [&] { output.Create(statement); });
  OutputWriter writer(output, output_path);
  Attempt(ConversionError::kWriteOutput, kWrite, output_path, [&] {
    if (!converter.WriteInBlocks(*written, writer)) {
      throw FileError("the register being written was cut short");
    }
  });
}

RunResult Convert(FileSystem& files, const std::string& input_path,
                  const std::string& output_path, RunRegisters* registers,
                  TextEncoding encoding) {
  std::unique_ptr<InputFile> input = OpenInput(files, input_path);
  constexpr std::string_view kCreate = "cannot create output file";
  const std::unique_ptr<OutputFile> output =
      Attempt(ConversionError::kCreateOutput, kCreate, output_path,
              [&] { return files.OpenOutput(output_path); });
  const ExistingOutput& existing = output->Existing();
  CheckReplaceable(existing, *input, input_path, output_path, registers);
  // A new output needs no flush to the disk: a crash loses nothing that was.
  const bool replacing = existing.kind != ExistingOutput::Kind::kNone;
  CreateTemporary(*output, *input, output_path, replacing);
  const std::optional<std::uint64_t> size = input->Size();
  // A large statement is read ahead and its register written behind on a
  // second thread, which has stopped before the files are closed.
  std::optional<OverlappedDisk> overlapped;
  if (size && *size >= kOverlapFrom) overlapped.emplace(*input, *output, kReadBlockSize);
  OutputWriter writer(overlapped ? static_cast<ByteSink&>(*overlapped) : *output,
                      output_path);
  Converter converter(writer, encoding);
  if (overlapped) {
    ConvertInput([&] { return overlapped->NextBlock(); }, *input, input_path, converter);
    Attempt(ConversionError::kWriteOutput, "cannot write output file", output_path,
            [&] { overlapped->FinishWrites(); });
    overlapped.reset();
  } else {
    // Not zeroed: a small statement touches only the pages it fills.
    const PageBuffer block = NewPageBuffer(kReadBlockSize);
    ConvertInput(
        [&] {
          return OverlappedDisk::Block{
              {block.get(), input->Read(block.get(), kReadBlockSize)}, nullptr};
        },
        *input, input_path, converter);
  }
  // A statement of several accounts, or of an investment account, gives one
  // block per account.
  if (converter.in_blocks()) {
    RewriteInBlocks(*output, output_path, converter, *input);
  }
  const FileIdentity statement = input->Identity();
  std::vector<FailedLine> failed = FailedLines(converter.failed(), *input);
  input.reset();  // closed before the output may replace it
  Attempt(ConversionError::kWriteOutput, "cannot write output file", output_path,
          [&] { output->Close(replacing); });
  const FileIdentity written =
      Attempt(ConversionError::kReplaceOutput, "cannot replace output file", output_path,
              [&] { return output->Replace(); });
  if (registers) registers->Add({written, statement, input_path});
  return {converter.failed_count(), std::move(failed), std::nullopt,
          converter.record_count() == 0 && converter.failed_count() == 0};
}

}  // namespace

const RunRegisters::Written* RunRegisters::Find(const FileIdentity& identity,
                                                const FileIdentity& input) const {
  for (const Written& earlier : written_) {
    if (earlier.identity == identity && earlier.input != input) return &earlier;
  }
  return nullptr;
}

void RunRegisters::Add(const Written& written) {
  if (written.identity == FileIdentity{}) return;  // the system could not tell
  written_.push_back(written);
}

std::string ConversionError::Message() const {
  return "Error " + std::to_string(number) + ": " + description;
}

RunResult ConvertFile(FileSystem& files, const std::string& input_path,
                      const std::string& output_path, RunRegisters* registers,
                      TextEncoding encoding) {
  try {
    return Convert(files, input_path, output_path, registers, encoding);
  } catch (ConversionError& error) {
    return {0, {}, std::move(error)};
  } catch (const std::bad_alloc&) {
    return {0,
            {},
            Failure(ConversionError::kOutOfMemory, "cannot convert", input_path,
                    "not enough memory")};
  }
}

}  // namespace ledgerlift
