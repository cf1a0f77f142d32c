#include "conversion/conversion_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <random>
#include <system_error>

#include "conversion/converter.h"
#include "conversion/system_path.h"

namespace ledgerlift {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

ConversionError Failure(int number, std::string_view what,
                        const std::string& path, const std::string& reason) {
  return {number, std::string(what) + " " + path + ": " + reason};
}

std::string Reason(int error_number) { return std::strerror(error_number); }

// The output under construction: a file beside the output path that is
// removed again unless Commit renames it over the output.
class TemporaryOutput : public ByteSink {
 public:
  explicit TemporaryOutput(const std::string& output_path)
      : output_path_(output_path) {}
  ~TemporaryOutput() override {
    file_.reset();
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove(SystemPath(path_), ignored);
  }

  void Create() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
      path_ = output_path_ + "." + std::to_string(random() % 1000000000) + ".tmp";
      std::error_code ignored;
      if (std::filesystem::exists(SystemPath(path_), ignored)) continue;
      errno = 0;
      file_.reset(OpenFile(path_, "wb"));
      if (!file_) {
        const int error = errno;
        path_.clear();
        throw Failure(ConversionError::kCreateOutput, "cannot create output file",
                      output_path_, Reason(error));
      }
    }
    if (!file_) {
      path_.clear();
      throw Failure(ConversionError::kCreateOutput, "cannot create output file",
                    output_path_, Reason(EEXIST));
    }
  }

  void Write(std::string_view bytes) override {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
      ThrowWriteFailure();
    }
  }

  void Commit() {
    errno = 0;
    if (std::fflush(file_.get()) != 0) ThrowWriteFailure();
    std::FILE* file = file_.release();
    if (std::fclose(file) != 0) ThrowWriteFailure();
    std::error_code error;
    std::filesystem::rename(SystemPath(path_), SystemPath(output_path_), error);
    if (error) {
      throw Failure(ConversionError::kReplaceOutput, "cannot replace output file",
                    output_path_, error.message());
    }
    path_.clear();
  }

 private:
  [[noreturn]] void ThrowWriteFailure() {
    const int error = errno ? errno : EIO;
    throw Failure(ConversionError::kWriteOutput, "cannot write output file",
                  output_path_, Reason(error));
  }

  std::string output_path_;
  std::string path_;
  File file_;
};

RunResult Convert(const std::string& input_path, const std::string& output_path) {
  errno = 0;
  File input(OpenFile(input_path, "rb"));
  if (!input) {
    const int error = errno;
    // Windows refuses to open a folder as a file ("Permission denied");
    // say what Linux says when reading one.
    std::error_code unknown;
    if (std::filesystem::is_directory(SystemPath(input_path), unknown)) {
      throw Failure(ConversionError::kReadInput, "cannot read input file",
                    input_path, Reason(EISDIR));
    }
    throw Failure(ConversionError::kOpenInput, "cannot open input file",
                  input_path, Reason(error));
  }
  TemporaryOutput output(output_path);
  output.Create();
  Converter converter(output);
  std::error_code unknown_size;
  const auto size =
      std::filesystem::file_size(SystemPath(input_path), unknown_size);
  // Not zeroed: a small statement touches only the pages it fills.
  const std::unique_ptr<char[]> block(new char[kReadBlockSize]);
  std::uint64_t read = 0;
  for (;;) {
    errno = 0;
    const size_t got = std::fread(block.get(), 1, kReadBlockSize, input.get());
    converter.Feed(std::string_view(block.get(), got));
    read += got;
    if (got < kReadBlockSize) break;
  }
  if (std::ferror(input.get())) {
    throw Failure(ConversionError::kReadInput, "cannot read input file",
                  input_path, Reason(errno ? errno : EIO));
  }
  // A file cut short while it was read (rewritten by another program) ends
  // early without a read error; its register would look whole but lack the
  // rest, so nothing is written.
  if (!unknown_size && read < size) {
    throw Failure(ConversionError::kReadInput, "cannot read input file",
                  input_path, "the file shrank while it was read");
  }
  converter.Finish();
  input.reset();  // closed before the output may replace it
  output.Commit();
  return {converter.failed_count(), std::nullopt};
}

}  // namespace

std::string FailedLinesMessage(std::uint64_t count) {
  return "Failed to read " + std::to_string(count) +
         " lines of data from QFX file.";
}

std::string ConversionError::Message() const {
  return "Error " + std::to_string(number) + ": " + description;
}

RunResult ConvertFile(const std::string& input_path,
                      const std::string& output_path) {
  try {
    return Convert(input_path, output_path);
  } catch (ConversionError& error) {
    return {0, std::move(error)};
  } catch (const std::bad_alloc&) {
    return {0, ConversionError{ConversionError::kOutOfMemory,
                               "not enough memory to convert " + input_path}};
  }
}

}  // namespace ledgerlift
