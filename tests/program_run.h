// Runs the built program in a temporary folder, as a user would meet it:
// its exit status, what it prints and what it leaves on disk. The one runner
// of every test of the built program.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fixtures.h"

namespace ledgerlift::testing_support {

namespace fs = std::filesystem;

struct stat Status(const fs::path& path);  // following links

struct Outcome {
  int status;       // -1 when a signal ended the program
  std::string err;  // what the program wrote to standard error
  int signal = 0;   // the signal that ended it
  std::string out;  // what it wrote to standard output
};

// How the program is started: as an unprivileged user (root passes every
// permission check), with a limit on the size of the files it writes.
struct Start {
  bool unprivileged = false;
  uid_t user = 0;  // started as this user and group instead (root only)
  gid_t group = 0;
  rlim_t file_size_limit = RLIM_INFINITY;
  int ignored_signal = 0;  // started ignoring it, as under nohup
  // Where standard output goes ("/dev/full"); by default it is kept for
  // Outcome::out.
  const char* standard_output = nullptr;
  // The X display DISPLAY names, with standard input from /dev/null as a
  // script in a desktop session has it; by default no display at all.
  const char* display = nullptr;
};

// A user made for one test, with useradd, and removed when it ends: cases
// between two users of one machine. Only root can make one (as in CI).
class ThrowawayUser {
 public:
  explicit ThrowawayUser(const std::string& role);
  ~ThrowawayUser();
  ThrowawayUser(const ThrowawayUser&) = delete;
  ThrowawayUser& operator=(const ThrowawayUser&) = delete;
  bool made() const { return uid != 0; }

  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
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

  // Starts the program in the test folder with `arguments`, without a
  // display, in the background; Wait ends it. Launch and Run take the one
  // input path of most cases.
  pid_t LaunchWith(const std::vector<std::string>& arguments, const Start& start = {});
  pid_t Launch(const fs::path& input, const Start& start = {}) {
    return LaunchWith({input.string()}, start);
  }
  Outcome Wait(pid_t pid);
  Outcome RunWith(const std::vector<std::string>& arguments, const Start& start = {}) {
    return Wait(LaunchWith(arguments, start));
  }
  Outcome Run(const fs::path& input, const Start& start = {}) {
    return Wait(Launch(input, start));
  }

  // Every path under the test folder, relative to it, in order.
  std::vector<std::string> Files();
  // Every path under the test folder with its permissions, owner, size and
  // first bytes, or "/" for a folder, to check that a run changed nothing.
  std::vector<std::string> Snapshot();

  // Mounts a small, empty tmpfs at `folder`; false when not allowed.
  bool MountSmallDisk(const fs::path& folder);

  fs::path dir_;

 private:
  fs::path output_folder_;  // the program's captured output, beside dir_
  std::vector<fs::path> mounts_;
};

}  // namespace ledgerlift::testing_support
