// Runs the built program in a temporary folder, as a user would meet it:
// its exit status, its message and what it leaves on disk. Shared by the
// tests of failures and of inputs at the edges.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace ledgerlift::testing_support {

namespace fs = std::filesystem;

inline constexpr const char* kShopLine =
    "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<FITID>77"
    "<NAME>CORNER SHOP<MEMO>CARD 55</STMTTRN>";
inline constexpr const char* kShopRecord =
    "D03-02-2011\r\nPCORNER SHOP\r\nT-12.50\r\nMDEBIT\r\n^\r\n";
inline constexpr const char* kHeader = "!Type:Bank\r\n";

// `count` copies of `text`.
std::string Repeat(const std::string& text, size_t count);
std::string Read(const fs::path& path);
struct stat Status(const fs::path& path);  // following links
void Write(const fs::path& path, const std::string& content);

struct Outcome {
  int status;       // -1 when a signal ended the program
  std::string err;  // what the program wrote to standard error
  int signal = 0;   // the signal that ended it
};

// How the program is started: as an unprivileged user (root passes every
// permission check), with a limit on the size of the files it writes.
struct Start {
  bool unprivileged = false;
  rlim_t file_size_limit = RLIM_INFINITY;
  int ignored_signal = 0;  // started ignoring it, as under nohup
};

// The names of the temporary files in `folder` (".ledgerlift-*.tmp").
std::vector<std::string> TemporaryFiles(const fs::path& folder);
// Waits up to ten seconds for one more temporary file than the `present`
// ones to appear in `folder`.
bool TemporaryFileAppears(const fs::path& folder, size_t present = 0);

// The exit status when the program could not be started as asked.
inline constexpr int kCannotStart = 126;
inline constexpr int kNobody = 65534;

class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Empties the test folder, also folders a case made read-only.
  void Clear();

  // Starts the program on `input` in the background; Wait ends it.
  pid_t Launch(const fs::path& input, const Start& start = {});
  Outcome Wait(pid_t pid);
  Outcome Run(const fs::path& input, const Start& start = {}) {
    return Wait(Launch(input, start));
  }

  // Every path under the test folder with its permissions, owner, size and
  // first bytes, or "/" for a folder, to check that a run changed nothing.
  std::vector<std::string> Snapshot();

  // Mounts a small, empty tmpfs at `folder`; false when not allowed.
  bool MountSmallDisk(const fs::path& folder);

  fs::path dir_;

 private:
  std::vector<fs::path> mounts_;
};

}  // namespace ledgerlift::testing_support
