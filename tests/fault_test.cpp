// What a user gets when things go wrong around a conversion, on the built
// program: one message naming the path and the system's reason, exit status
// 2, no output created, an existing output untouched and no temporary file
// left. And inputs at the edges that must convert in full.

#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "conversion/conversion_run.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kShopLine =
    "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<FITID>77"
    "<NAME>CORNER SHOP<MEMO>CARD 55</STMTTRN>";
constexpr const char* kShopRecord =
    "D03-02-2011\r\nPCORNER SHOP\r\nT-12.50\r\nMDEBIT\r\n^\r\n";
constexpr const char* kHeader = "!Type:Bank\r\n";
constexpr const char* kPrecious = "an earlier register, kept as it is";
constexpr int kNobody = 65534;

// `count` copies of `text`.
std::string Repeat(const std::string& text, size_t count) {
  std::string result;
  result.reserve(text.size() * count);
  for (size_t i = 0; i < count; ++i) result += text;
  return result;
}

std::string Read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void Write(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

struct Outcome {
  int status;
  std::string err;
};

// How the program is started: as an unprivileged user, with a limit on the
// size of the files it writes.
struct Start {
  bool unprivileged = false;
  rlim_t file_size_limit = RLIM_INFINITY;
};

constexpr int kCannotDropPrivileges = 126;

class Faults : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ledgerlift-faults-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // Reachable by the unprivileged user the permission cases run as.
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
  }
  void TearDown() override {
    for (const fs::path& mount : mounts_) umount2(mount.c_str(), MNT_DETACH);
    Clear();
    fs::remove(dir_);
  }

  // Empties the test folder, also folders a case made read-only.
  void Clear() {
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      if (entry.is_directory() && !entry.is_symlink()) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
      }
    }
    for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
  }

  // Starts the program on `input` in the background.
  pid_t Launch(const fs::path& input, const Start& start = {}) {
    const fs::path err = dir_ / ".stderr";
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    dup2(err_fd, 2);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    if (start.unprivileged && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      _exit(kCannotDropPrivileges);
    }
    if (access(LEDGERLIFT_PROGRAM, X_OK) != 0) _exit(kCannotDropPrivileges);
    if (start.file_size_limit != RLIM_INFINITY) {
      // A write past the limit then fails with EFBIG instead of a signal.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{start.file_size_limit, start.file_size_limit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    const std::string argument = input.string();
    execl(LEDGERLIFT_PROGRAM, LEDGERLIFT_PROGRAM, argument.c_str(), nullptr);
    _exit(127);
  }

  Outcome Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(dir_ / ".stderr")};
    fs::remove(dir_ / ".stderr");
    return outcome;
  }

  Outcome Run(const fs::path& input, const Start& start = {}) {
    return Wait(Launch(input, start));
  }

  // Every path under the test folder with its content ("/" for a folder).
  std::vector<std::string> Snapshot() {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(
             dir_, fs::directory_options::skip_permission_denied)) {
      std::string line = fs::relative(entry.path(), dir_).string() + " = ";
      if (entry.is_directory()) line += "/";
      else if (entry.is_symlink()) line += "-> " + fs::read_symlink(entry.path()).string();
      else line += std::to_string(entry.file_size()) + ":" + Read(entry.path()).substr(0, 64);
      entries.push_back(line);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
  }

  // Mounts a small, empty tmpfs at `folder`; false when not allowed.
  bool MountSmallDisk(const fs::path& folder) {
    fs::create_directory(folder);
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) return false;
    mounts_.push_back(folder);
    return true;
  }

  fs::path dir_;
  std::vector<fs::path> mounts_;
};

// A statement large enough to overflow the small disk and the size limit.
std::string LargeStatement() { return Repeat(std::string(kShopLine) + "\r\n", 40000); }

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
                                           fs::perms::others_read | fs::perms::others_exec);
       return dir / "locked" / "stmt.qfx";
     },
     "Error 4: cannot create output file @/locked/stmt.qif: Permission denied\n",
     {.unprivileged = true}},
    {"file size limit reached while writing",
     [](const fs::path& dir) {
       Write(dir / "stmt.qfx", LargeStatement());
       Write(dir / "stmt.qif", kPrecious);
       return dir / "stmt.qfx";
     },
     "Error 5: cannot write output file @/stmt.qif: File too large\n",
     {.file_size_limit = 64 * 1024}},
};

std::string Replace(std::string text, const std::string& mark, const std::string& by) {
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + by.size())) {
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
    if (outcome.status == kCannotDropPrivileges) {
      skipped += std::string(" ") + c.name + ";";
      continue;
    }
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, Replace(c.message, "@", dir_.string()));
    EXPECT_EQ(Snapshot(), before);
  }
  if (!skipped.empty()) {
    // Root passes every permission check, so these need another user.
    GTEST_SKIP() << "cannot run the program as user " << kNobody << ", skipped:" << skipped;
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
  EXPECT_EQ(outcome.err, "Error 5: cannot write output file " + (disk / "stmt.qif").string() +
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
    const ledgerlift::RunResult result =
        ledgerlift::ConvertFile((dir_ / "stmt.qfx").string(), c.output.string());
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(result.error->Message(),
              "Error 4: cannot create output file " + c.output.string() + ": " + c.reason);
    EXPECT_EQ(Snapshot(), before);
  }
}

// Inputs at the edges that convert in full, with the exact register.
struct SuccessCase {
  const char* name;
  std::function<std::string()> input;
  std::function<std::string()> output;  // after the header
  int status;
  const char* message;
};

std::string Transaction(const std::string& name) {
  return "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<NAME>" + name + "<MEMO>M";
}
std::string Record(const std::string& name) {
  return "D03-02-2011\r\nP" + name + "\r\nT-12.50\r\nMDEBIT\r\n^\r\n";
}
const std::string kOddName = std::string("CAF\xC9\x00\x80\xFF \x00", 9);
constexpr size_t kHugeLine = 100 << 20;

const SuccessCase kSuccessCases[] = {
    {"a million failed transaction lines",
     [] { return Repeat("<STMTTRN><NAME>X\r\n", 1000000) + kShopLine; },
     [] { return std::string(kShopRecord); }, 1,
     "Failed to read 1000000 lines of data from QFX file.\n"},
    {"NUL and bytes above 0x7F in values", [] { return Transaction(kOddName) + "\r\n"; },
     [] { return Record(kOddName); }, 0, ""},
    {"a 100 MB line", [] { return Transaction(std::string(kHugeLine, 'N')); },
     [] { return Record(std::string(kHugeLine, 'N')); }, 0, ""},
    {"no line end at all", [] { return std::string(kShopLine); },
     [] { return std::string(kShopRecord); }, 0, ""},
    {"CR-only line ends",
     [] { return Repeat(std::string("<OFX>\r") + kShopLine + "\r", 3) + "<STMTTRN>\r"; },
     [] { return Repeat(kShopRecord, 3); }, 1,
     "Failed to read 1 lines of data from QFX file.\n"},
};

TEST_F(Faults, EdgeInputsConvertInFull) {
  for (const SuccessCase& c : kSuccessCases) {
    SCOPED_TRACE(c.name);
    Clear();
    Write(dir_ / "stmt.qfx", c.input());
    const Outcome outcome = Run(dir_ / "stmt.qfx");
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.err, c.message);
    const std::string output = Read(dir_ / "stmt.qif");
    const std::string expected = kHeader + c.output();
    EXPECT_EQ(output.size(), expected.size());
    EXPECT_TRUE(output == expected) << "the register differs";
  }
}

// The program holds the input open: removing its name while it is read
// loses nothing. A named pipe lets the test act at that moment.
TEST_F(Faults, InputRemovedWhileRead) {
  const fs::path input = dir_ / "stmt.qfx";
  ASSERT_EQ(mkfifo(input.c_str(), 0644), 0);
  const pid_t pid = Launch(input);
  const int pipe = open(input.c_str(), O_WRONLY);  // waits for the program
  ASSERT_GE(pipe, 0);
  const std::string first = std::string(kShopLine) + "\r\n<STMTTRN><NAME>HALF";
  const std::string rest = std::string(" A LINE\r\n") + kShopLine + "\r\n";
  ASSERT_EQ(write(pipe, first.data(), first.size()), static_cast<ssize_t>(first.size()));
  fs::remove(input);
  ASSERT_EQ(write(pipe, rest.data(), rest.size()), static_cast<ssize_t>(rest.size()));
  close(pipe);
  const Outcome outcome = Wait(pid);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "Failed to read 1 lines of data from QFX file.\n");
  EXPECT_EQ(Read(dir_ / "stmt.qif"), kHeader + Repeat(kShopRecord, 2));
}

// The file position of `pid`'s descriptor open on `path`, or -1.
long long ReadPosition(pid_t pid, const fs::path& path) {
  const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code error;
  for (const auto& fd : fs::directory_iterator(fds, error)) {
    if (fs::read_symlink(fd.path(), error) != path) continue;
    std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" +
                       fd.path().filename().string());
    std::string key;
    long long position = -1;
    info >> key >> position;
    return key == "pos:" ? position : -1;
  }
  return -1;
}

// Whether `pid` has not ended yet (a zombie has).
bool Running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const size_t name_end = text.rfind(") ");
  return name_end != std::string::npos && text[name_end + 2] != 'Z';
}

// Cut short while it is read, the input gives no register: a conversion of
// part of a file would look whole. The moment is found by watching the
// program's read position, so a fast program may finish first; either way
// there is no partial register and no temporary file.
TEST_F(Faults, InputShrinkingWhileRead) {
  const fs::path input = dir_ / "stmt.qfx";
  const std::string line = std::string(kShopLine) + "\r\n";
  const size_t lines = (32 << 20) / line.size();
  Write(input, Repeat(line, lines));
  Write(dir_ / "stmt.qif", kPrecious);
  const pid_t pid = Launch(input);
  bool cut = false;
  while (!cut && Running(pid)) {
    const long long position = ReadPosition(pid, input);
    if (position > 0 && position < static_cast<long long>(lines * line.size())) {
      fs::resize_file(input, lines * line.size() / 2 + 7);
      cut = true;
    }
  }
  const Outcome outcome = Wait(pid);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir_)) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"stmt.qfx", "stmt.qif"}));
  if (outcome.status == 2) {
    EXPECT_EQ(outcome.err, "Error 3: cannot read input file " + input.string() +
                               ": the file shrank while it was read\n");
    EXPECT_EQ(Read(dir_ / "stmt.qif"), kPrecious);
  } else {
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    const std::string output = Read(dir_ / "stmt.qif");
    EXPECT_EQ(output.size(), std::string(kHeader).size() + lines * std::strlen(kShopRecord));
    EXPECT_TRUE(output == kHeader + Repeat(kShopRecord, lines)) << "the register differs";
  }
  std::cout << (cut ? "cut while the program read; status " : "the program read first; status ")
            << outcome.status << "\n";
}

}  // namespace
