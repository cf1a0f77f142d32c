#include "conversion/conversion_run.h"

#include <memory>
#include <new>
#include <system_error>

#include "conversion/account_blocks.h"
#include "conversion/converter.h"

namespace ledgerlift {
namespace {

ConversionError Failure(int number, std::string_view what, const std::string& path,
                        std::string_view reason) {
  return {number, std::string(what) + " " + path + ": " + std::string(reason)};
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
  OutputWriter(OutputFile& file, const std::string& path) : file_(file), path_(path) {}
  void Write(std::string_view bytes) override {
    Attempt(ConversionError::kWriteOutput, "cannot write output file", path_,
            [&] { file_.Write(bytes); });
  }

 private:
  OutputFile& file_;
  const std::string& path_;
};

// Refuses an output that must not be replaced, before anything is read or
// created: the input itself (its register would only ever be emptied), a
// folder, a device or pipe (reached through a link), a file nobody may write.
void CheckReplaceable(const ExistingOutput& existing, const InputFile& input,
                      const std::string& input_path, const std::string& output_path) {
  using Kind = ExistingOutput::Kind;
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
  if (existing.read_only) {
    throw Failure(ConversionError::kReplaceOutput, "cannot replace output file",
                  output_path, "the file is read-only");
  }
}

// Feeds the whole input to the converter; an input cut short while it was
// read (rewritten by another program) would give a register that looks
// whole but lacks the rest, so it fails.
void ConvertInput(InputFile& input, const std::string& input_path, Converter& converter) {
  const std::optional<std::uint64_t> size = input.Size();
  // Not zeroed: a small statement touches only the pages it fills.
  const std::unique_ptr<char[]> block(new char[kReadBlockSize]);
  std::uint64_t read = 0;
  for (;;) {
    const size_t got =
        Attempt(ConversionError::kReadInput, "cannot read input file", input_path,
                [&] { return input.Read(block.get(), kReadBlockSize); });
    converter.Feed(std::string_view(block.get(), got));
    read += got;
    if (got < kReadBlockSize) break;
  }
  if (size && read < *size) {
    throw Failure(ConversionError::kReadInput, "cannot read input file", input_path,
                  "the file shrank while it was read");
  }
  converter.Finish();
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

// Rewrites the register the converter wrote into `plain` as one block per
// account, into a new temporary file beside the output, and returns that
// one; `plain` goes away with its object.
std::unique_ptr<OutputFile> RewriteInBlocks(FileSystem& files, OutputFile& plain,
                                            const std::string& output_path,
                                            const Converter& converter) {
  constexpr std::string_view kWrite = "cannot write output file";
  constexpr std::string_view kCreate = "cannot create output file";
  const std::unique_ptr<InputFile> written =
      Attempt(ConversionError::kWriteOutput, kWrite, output_path,
              [&] { return plain.ReadBack(); });
  std::unique_ptr<OutputFile> blocks =
      Attempt(ConversionError::kCreateOutput, kCreate, output_path,
              [&] { return files.OpenOutput(output_path); });
  Attempt(ConversionError::kCreateOutput, kCreate, output_path,
          [&] { blocks->Create(); });
  OutputWriter writer(*blocks, output_path);
  Attempt(ConversionError::kWriteOutput, kWrite, output_path, [&] {
    WriteInBlocks(converter.accounts().blocks(), converter.output_size(), *written,
                  writer);
  });
  return blocks;
}

RunResult Convert(FileSystem& files, const std::string& input_path,
                  const std::string& output_path) {
  std::unique_ptr<InputFile> input = OpenInput(files, input_path);
  constexpr std::string_view kCreate = "cannot create output file";
  const std::unique_ptr<OutputFile> output =
      Attempt(ConversionError::kCreateOutput, kCreate, output_path,
              [&] { return files.OpenOutput(output_path); });
  const ExistingOutput& existing = output->Existing();
  CheckReplaceable(existing, *input, input_path, output_path);
  Attempt(ConversionError::kCreateOutput, kCreate, output_path,
          [&] { output->Create(); });
  OutputWriter writer(*output, output_path);
  Converter converter(writer);
  ConvertInput(*input, input_path, converter);
  input.reset();  // closed before the output may replace it
  // A statement of several accounts gives one block per account.
  std::unique_ptr<OutputFile> in_blocks;
  if (converter.accounts().several()) {
    in_blocks = RewriteInBlocks(files, *output, output_path, converter);
  }
  OutputFile& result = in_blocks ? *in_blocks : *output;
  // A new output needs no flush to the disk: a crash loses nothing that was.
  const bool replacing = existing.kind != ExistingOutput::Kind::kNone;
  Attempt(ConversionError::kWriteOutput, "cannot write output file", output_path,
          [&] { result.Close(replacing); });
  Attempt(ConversionError::kReplaceOutput, "cannot replace output file", output_path,
          [&] { result.Replace(); });
  return {converter.failed_count(), std::nullopt};
}

}  // namespace

std::string ConversionError::Message() const {
  return "Error " + std::to_string(number) + ": " + description;
}

RunResult ConvertFile(FileSystem& files, const std::string& input_path,
                      const std::string& output_path) {
  try {
    return Convert(files, input_path, output_path);
  } catch (ConversionError& error) {
    return {0, std::move(error)};
  } catch (const std::bad_alloc&) {
    return {0, Failure(ConversionError::kOutOfMemory, "cannot convert", input_path,
                       "not enough memory")};
  }
}

}  // namespace ledgerlift
