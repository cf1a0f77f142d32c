#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "run/file_system.h"

namespace ledgerlift {

// The disk of the system the program runs on: real_file_system-posix.cpp or
// real_file_system-win32.cpp, chosen by the build. Paths are UTF-8 on both.
class RealFileSystem : public FileSystem {
 public:
  bool Exists(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  std::unique_ptr<InputFile> OpenInput(const std::string& path) override;
  std::unique_ptr<OutputFile> OpenOutput(const std::string& path) override;
};

// Temporary files are named ".ledgerlift-" six letters or digits ".tmp", in
// the output's folder: short and of one length, so that any output name the
// system takes leaves room for it, and recognisable when a power cut left
// one behind.
inline constexpr std::string_view kTemporaryPrefix = ".ledgerlift-";
inline constexpr std::string_view kTemporarySuffix = ".tmp";
inline constexpr size_t kTemporaryNameSize =
    kTemporaryPrefix.size() + 6 + kTemporarySuffix.size();

// A new random temporary file name.
std::string TemporaryFileName();

// How often a new name is tried when the drawn one is taken.
inline constexpr int kTemporaryNameAttempts = 100;

}  // namespace ledgerlift
