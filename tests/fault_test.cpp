// Failures around a run, on the built program: each gives one message with
// the path and the system's reason, exit status 2, and leaves the folder as
// it was (no output created, an existing output untouched, no temporary file).

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "files/real_file_system.h"
#include "program_run.h"
#include "run/conversion_run.h"

namespace ledgerlift::testing_support {
namespace {

constexpr const char* kPrecious = "an earlier register, kept as it is";

class Faults : public ProgramRun {};

// A statement large enough to overflow the small disk and the size limit.
std::string LargeStatement() { return Repeat(std::string(kShopLine) + "\r\n", 40000); }

// A statement beside a register with the permissions `mode`.
fs::path ReadOnlyRegister(const fs::path& dir, int mode) {
  Write(dir / "stmt.qfx", kShopLine);
  Write(dir / "stmt.qif", kPrecious);
  fs::permissions(dir / "stmt.qif", static_cast<fs::perms>(mode));
  return dir / "stmt.qfx";
}

// A statement of `user` in a folder everyone may write to (sticky, as /tmp
// is), beside a register that another user put there for everyone to read
// and write: what would be written into it could be read.
fs::path PlantedRegister(const fs::path& dir, uid_t user, uid_t planter) {
  fs::create_directory(dir / "shared");
  fs::permissions(dir / "shared", static_cast<fs::perms>(01777));
  Write(dir / "shared" / "stmt.qfx", kShopLine);
  chown((dir / "shared" / "stmt.qfx").c_str(), user, user);
  fs::permissions(dir / "shared" / "stmt.qfx", static_cast<fs::perms>(0600));
  Write(dir / "shared" / "stmt.qif", kPrecious);
  chown((dir / "shared" / "stmt.qif").c_str(), planter, planter);
  fs::permissions(dir / "shared" / "stmt.qif", static_cast<fs::perms>(0666));
  return dir / "shared" / "stmt.qfx";
}

// Each case prepares the folder and names the input; the program must fail
// with exactly `message` (where "@" stands for the test folder) and change
// nothing on disk.
struct FailureCase {
  const char* name;
  std::function<fs::path(const fs::path& dir)> prepare;
  const char* message;
  Start start;
};

const FailureCase kFailureCases[] = {
    {"input missing",
     [](const fs::path& dir) {
       Write(dir / "stmt.qif", kPrecious);
       return dir / "stmt.qfx";
     },
     "Error 2: cannot open input file @/stmt.qfx: No such file or directory\n",
     {}},
    {"input is a folder",
     [](const fs::path& dir) {
       fs::create_directory(dir / "stmt.qfx");
       Write(dir / "stmt.qif", kPrecious);
       return dir / "stmt.qfx";
     },
     "Error 3: cannot read input file @/stmt.qfx: Is a directory\n",
     {}},
    {"input unreadable",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", kShopLine);
       fs::permissions(dir / "stmt.qfx", fs::perms::none);
       Write(dir / "stmt.qif", kPrecious);
       return dir / "stmt.qfx";
     },
     "Error 2: cannot open input file @/stmt.qfx: Permission denied\n",
     {.unprivileged = true}},
    {"folder where the output goes",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", kShopLine);
       fs::create_directories(dir / "stmt.qif" / "inside");
       return dir / "stmt.qfx";
     },
     "Error 6: cannot replace output file @/stmt.qif: Is a directory\n",
     {}},
    {"output folder read-only",
     [](const fs::path& dir) {
       fs::create_directory(dir / "locked");
       Write(dir / "locked" / "stmt.qfx", kShopLine);
       Write(dir / "locked" / "stmt.qif", kPrecious);
       fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                           fs::perms::others_read |
                                           fs::perms::others_exec);
       return dir / "locked" / "stmt.qfx";
     },
     "Error 4: cannot create output file @/locked/stmt.qif: Permission denied\n",
     {.unprivileged = true}},
    // An output that must not be replaced is refused before anything is
    // read or created, for every user.
    {"read-only output",
     [](const fs::path& dir) { return ReadOnlyRegister(dir, 0444); },
     "Error 6: cannot replace output file @/stmt.qif: the file is read-only\n",
     {}},
    {"output only its owner may read",
     [](const fs::path& dir) { return ReadOnlyRegister(dir, 0400); },
     "Error 6: cannot replace output file @/stmt.qif: the file is read-only\n",
     {}},
    {"read-only output, run as another user",
     [](const fs::path& dir) { return ReadOnlyRegister(dir, 0444); },
     "Error 6: cannot replace output file @/stmt.qif: the file is read-only\n",
     {.unprivileged = true}},
    {"another user's register in a shared folder",
     [](const fs::path& dir) { return PlantedRegister(dir, kNobody, 0); },
     "Error 6: cannot replace output file @/shared/stmt.qif: it belongs to another "
     "user\n",
     {.unprivileged = true}},
    {"another user's register in a shared folder, converted by root",
     [](const fs::path& dir) { return PlantedRegister(dir, 0, kNobody); },
     "Error 6: cannot replace output file @/shared/stmt.qif: it belongs to another "
     "user\n",
     {}},
    {"output is a link to the statement",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", kShopLine);
       fs::create_symlink("stmt.qfx", dir / "stmt.qif");
       return dir / "stmt.qfx";
     },
     "Error 8: cannot convert @/stmt.qfx: the QIF file would replace the statement "
     "itself\n",
     {}},
    {"output is a second name (hard link) of the statement",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", kShopLine);
       fs::create_hard_link(dir / "stmt.qfx", dir / "stmt.qif");
       return dir / "stmt.qfx";
     },
     "Error 8: cannot convert @/stmt.qfx: the QIF file would replace the statement "
     "itself\n",
     {}},
    {"statement named like its register, reached through a linked folder",
     [](const fs::path& dir) {
       fs::create_directory(dir / "books");
       Write(dir / "books" / "x.qif", kShopLine);
       fs::create_directory_symlink("books", dir / "alias");
       return dir / "alias" / "x.qif";
     },
     "Error 8: cannot convert @/alias/x.qif: the QIF file would replace the statement "
     "itself\n",
     {}},
    {"output links that form a loop",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", kShopLine);
       fs::create_symlink("loop.qif", dir / "stmt.qif");
       fs::create_symlink("stmt.qif", dir / "loop.qif");
       return dir / "stmt.qfx";
     },
     "Error 4: cannot create output file @/stmt.qif: Too many levels of symbolic links\n",
     {}},
    {"output links to a device",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", kShopLine);
       fs::create_symlink("/dev/null", dir / "stmt.qif");
       return dir / "stmt.qfx";
     },
     "Error 6: cannot replace output file @/stmt.qif: not a regular file\n",
     {}},
    {"output links to a folder, named with a final /",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", kShopLine);
       fs::create_directory(dir / "books");
       fs::create_symlink("books/", dir / "stmt.qif");
       return dir / "stmt.qfx";
     },
     "Error 6: cannot replace output file @/stmt.qif: Is a directory\n",
     {}},
    {"output links to the root folder",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", kShopLine);
       fs::create_symlink("/", dir / "stmt.qif");
       return dir / "stmt.qfx";
     },
     "Error 6: cannot replace output file @/stmt.qif: Is a directory\n",
     {}},
    {"file size limit reached while writing",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", LargeStatement());
       Write(dir / "stmt.qif", kPrecious);
       return dir / "stmt.qfx";
     },
     "Error 5: cannot write output file @/stmt.qif: File too large\n",
     {.file_size_limit = 64 * 1024}},  // as `ulimit -f 64` sets it
    {"file size limit reached while writing, a new register",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", LargeStatement());
       return dir / "stmt.qfx";
     },
     "Error 5: cannot write output file @/stmt.qif: File too large\n",
     {.file_size_limit = 64 * 1024}},
};

std::string Replace(std::string text, const std::string& mark, const std::string& by) {
  for (size_t at = text.find(mark); at != std::string::npos;
       at = text.find(mark, at + by.size())) {
    text.replace(at, mark.size(), by);
  }
  return text;
}

TEST_F(Faults, EachFailureGivesOneMessageAndChangesNothing) {
  std::string skipped;
  for (const FailureCase& c : kFailureCases) {
    SCOPED_TRACE(c.name);
    Clear();
    const fs::path input = c.prepare(dir_);
    const std::vector<std::string> before = Snapshot();
    const Outcome outcome = Run(input, c.start);
    if (outcome.status == kCannotStart) {
      skipped += std::string(" ") + c.name + ";";
      continue;
    }
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, Replace(c.message, "@", dir_.string()));
    EXPECT_EQ(Snapshot(), before);
  }
  if (!skipped.empty()) {
    // Root passes every permission check, so these need another user.
    GTEST_SKIP() << "cannot run the program as user " << kNobody
                 << ", skipped:" << skipped;
  }
}

TEST_F(Faults, DiskFullWhileWriting) {
  const fs::path disk = dir_ / "disk";
  if (!MountSmallDisk(disk)) {
    GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                 << "); the file size limit case covers a failing write";
  }
  Write(dir_ / "large.qfx", LargeStatement());
  fs::create_symlink(dir_ / "large.qfx", disk / "stmt.qfx");
  Write(disk / "stmt.qif", kPrecious);
  const std::vector<std::string> before = Snapshot();
  const Outcome outcome = Run(disk / "stmt.qfx");
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err, "Error 5: cannot write output file " +
                             (disk / "stmt.qif").string() +
                             ": No space left on device\n");
  EXPECT_EQ(Snapshot(), before);
}

// The program puts its output beside its input, so a missing output folder
// cannot arise from its command line; ConvertFile takes any output path.
TEST_F(Faults, OutputFolderThatIsNotThere) {
  Write(dir_ / "stmt.qfx", kShopLine);
  Write(dir_ / "file", kPrecious);
  const struct {
    const char* name;
    fs::path output;
    const char* reason;
  } cases[] = {
      {"folder missing", dir_ / "missing" / "stmt.qif", "No such file or directory"},
      {"file in the place of the folder", dir_ / "file" / "stmt.qif", "Not a directory"},
  };
  const std::vector<std::string> before = Snapshot();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ledgerlift::RealFileSystem files;
    const ledgerlift::RunResult result =
        ledgerlift::ConvertFile(files, (dir_ / "stmt.qfx").string(), c.output.string());
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(result.error->Message(), "Error 4: cannot create output file " +
                                           c.output.string() + ": " + c.reason);
    EXPECT_EQ(Snapshot(), before);
  }
}

}  // namespace
}  // namespace ledgerlift::testing_support
