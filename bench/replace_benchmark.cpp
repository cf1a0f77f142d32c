// replace_benchmark: what flushing a replaced register to the disk costs.
// Converts a 10 KB statement (80 transactions) over an existing register in
// FOLDER again and again, in turns with the real disk and with the same
// disk told never to flush, and prints the median time of each and their
// ratio. FOLDER must lie on a real disk (a tmpfs flushes nothing).
// Usage: replace_benchmark [FOLDER] [RUNS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/real_file_system.h"
#include "run/conversion_run.h"
#include "statement_generator.h"

namespace {

using ledgerlift::FileSystem;
using ledgerlift::OutputFile;

// The real output, except that Close never waits for the disk.
class UnflushedOutput : public OutputFile {
 public:
  explicit UnflushedOutput(std::unique_ptr<OutputFile> real) : real_(std::move(real)) {}
  const ledgerlift::ExistingOutput& Existing() const override {
    return real_->Existing();
  }
  void Create(const ledgerlift::InputFile& statement) override {
    real_->Create(statement);
  }
  void KeepAccess() override { real_->KeepAccess(); }
  void Write(std::string_view bytes) override { real_->Write(bytes); }
  void Close(bool) override { real_->Close(false); }
  ledgerlift::FileIdentity Replace() override { return real_->Replace(); }
  std::unique_ptr<ledgerlift::InputFile> ReadBack() override { return real_->ReadBack(); }

 private:
  std::unique_ptr<OutputFile> real_;
};

class UnflushedFileSystem : public FileSystem {
 public:
  bool Exists(const std::string& path) override { return real_.Exists(path); }
  bool IsFolder(const std::string& path) override { return real_.IsFolder(path); }
  std::unique_ptr<ledgerlift::InputFile> OpenInput(const std::string& path) override {
    return real_.OpenInput(path);
  }
  std::unique_ptr<OutputFile> OpenOutput(const std::string& path) override {
    return std::make_unique<UnflushedOutput>(real_.OpenOutput(path));
  }

 private:
  ledgerlift::RealFileSystem real_;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : ".";
  const int runs = argc > 2 ? std::atoi(argv[2]) : 200;
  const std::string input = (folder / "replace-benchmark.qfx").string();
  const std::string output = (folder / "replace-benchmark.qif").string();
  const std::string statement = ledgerlift::bench::GenerateStatement({.count = 80});
  std::ofstream(input, std::ios::binary) << statement;

  ledgerlift::RealFileSystem flushed;
  UnflushedFileSystem unflushed;
  std::vector<double> with_flush, without_flush;
  for (int run = 0; run < runs; ++run) {
    for (FileSystem* files :
         {static_cast<FileSystem*>(&flushed), static_cast<FileSystem*>(&unflushed)}) {
      const auto start = std::chrono::steady_clock::now();
      const ledgerlift::RunResult result = ledgerlift::ConvertFile(*files, input, output);
      const std::chrono::duration<double, std::milli> took =
          std::chrono::steady_clock::now() - start;
      if (result.error) {
        std::fprintf(stderr, "%s\n", result.error->Message().c_str());
        return 1;
      }
      (files == &flushed ? with_flush : without_flush).push_back(took.count());
    }
  }
  std::filesystem::remove(input);
  std::filesystem::remove(output);
  const double with = Median(with_flush), without = Median(without_flush);
  std::printf("%zu-byte statement replacing its register, median of %d runs each:\n",
              statement.size(), runs);
  std::printf("  flushed to the disk   %8.3f ms\n", with);
  std::printf("  not flushed           %8.3f ms\n", without);
  std::printf("  flushing costs        %8.3f ms (%.1fx)\n", with - without,
              with / without);
  return 0;
}
