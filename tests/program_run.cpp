#include "program_run.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace ledgerlift::testing_support {

struct stat Status(const fs::path& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status;
}

ThrowawayUser::ThrowawayUser(const std::string& role)
    : name("ll" + role + std::to_string(getpid())) {
  if (geteuid() != 0) return;
  const std::string command =
      "useradd --system --no-create-home --user-group --shell /usr/sbin/nologin " + name +
      " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return;
  if (const passwd* entry = getpwnam(name.c_str())) {
    uid = entry->pw_uid;
    gid = entry->pw_gid;
  }
}

ThrowawayUser::~ThrowawayUser() {
  if (!made()) return;
  // Nothing is left to do when it fails: the test has ended.
  [[maybe_unused]] const int status =
      std::system(("userdel " + name + " >/dev/null 2>&1").c_str());
}

std::vector<std::string> TemporaryFiles(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".ledgerlift-") && name.ends_with(".tmp")) names.push_back(name);
  }
  return names;
}

bool TemporaryFileAppears(const fs::path& folder, size_t present) {
  for (int wait = 0; wait < 10000; ++wait) {
    if (TemporaryFiles(folder).size() > present) return true;
    usleep(1000);
  }
  return false;
}

void ProgramRun::SetUp() {
  char output[] = "/tmp/ledgerlift-output-XXXXXX";
  ASSERT_NE(mkdtemp(output), nullptr);
  output_folder_ = output;
  char pattern[] = "/tmp/ledgerlift-run-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  dir_ = pattern;
  // Reachable by the unprivileged user the permission cases run as.
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec);
}

void ProgramRun::TearDown() {
  for (const fs::path& mount : mounts_) umount2(mount.c_str(), MNT_DETACH);
  Clear();
  fs::remove(dir_);
  fs::remove_all(output_folder_);
}

void ProgramRun::Clear() {
  for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
    if (!entry.is_symlink() && entry.is_directory()) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
    }
  }
  for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
}

// The program as another user can start it: the build tree may lie in a
// folder only its owner can enter (a private clone), so a copy is made once
// in a folder everyone can reach, and removed when the tests end. The names
// are plain arrays, still valid when the exit handler runs.
const char* ProgramForEveryone() {
  static char folder[] = "/tmp/ledgerlift-program-XXXXXX";
  static char program[sizeof folder + 16];
  static const bool copied = [] {
    if (mkdtemp(folder) == nullptr) return false;
    std::atexit([] { fs::remove_all(folder); });
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    std::snprintf(program, sizeof program, "%s/ledgerlift", folder);
    std::error_code error;
    return fs::copy_file(LEDGERLIFT_PROGRAM, program, error) && !error;
  }();
  return copied ? program : LEDGERLIFT_PROGRAM;
}

pid_t ProgramRun::LaunchWith(const std::vector<std::string>& arguments,
                             const Start& start) {
  const fs::path out =
      start.standard_output ? fs::path(start.standard_output) : output_folder_ / "stdout";
  const fs::path err = output_folder_ / "stderr";
  const uid_t user = start.unprivileged ? kNobody : start.user;
  const gid_t group = start.unprivileged ? kNobody : start.group;
  const std::string program = user != 0 ? ProgramForEveryone() : LEDGERLIFT_PROGRAM;
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (out_fd < 0 || err_fd < 0 || chdir(dir_.c_str()) != 0) _exit(kCannotStart);
  dup2(out_fd, 1);
  dup2(err_fd, 2);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  if (start.display != nullptr) {
    const int null = open("/dev/null", O_RDONLY);
    if (null < 0 || dup2(null, 0) != 0) _exit(kCannotStart);
    setenv("DISPLAY", start.display, 1);
  }
  if (user != 0 && geteuid() == 0 &&
      (setgroups(0, nullptr) != 0 || setgid(group) != 0 || setuid(user) != 0)) {
    _exit(kCannotStart);
  }
  if (access(program.c_str(), X_OK) != 0) _exit(kCannotStart);
  if (start.ignored_signal != 0) signal(start.ignored_signal, SIG_IGN);
  const rlimit no_core{0, 0};  // SIGQUIT would leave one
  setrlimit(RLIMIT_CORE, &no_core);
  if (start.file_size_limit != RLIM_INFINITY) {
    const rlimit limit{start.file_size_limit, start.file_size_limit};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  execv(argv[0], argv.data());
  _exit(127);
}

Outcome ProgramRun::Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  Outcome outcome{
      WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(output_folder_ / "stderr"),
      WIFSIGNALED(status) ? WTERMSIG(status) : 0, Read(output_folder_ / "stdout")};
  fs::remove(output_folder_ / "stderr");
  fs::remove(output_folder_ / "stdout");
  return outcome;
}

std::vector<std::string> ProgramRun::Files() {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
    names.push_back(entry.path().lexically_relative(dir_).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ProgramRun::Snapshot() {
  std::vector<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(
           dir_, fs::directory_options::skip_permission_denied)) {
    std::string line = entry.path().lexically_relative(dir_).string() + " = ";
    if (entry.is_symlink()) {
      line += "-> " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      line += "/";
    } else if (!entry.is_regular_file()) {
      line += "special";
    } else {
      const struct stat status = Status(entry.path());
      char owner[48];
      std::snprintf(owner, sizeof owner, "%04o %u:%u ", status.st_mode & 07777,
                    status.st_uid, status.st_gid);
      line += owner + std::to_string(entry.file_size()) + ":" +
              Read(entry.path()).substr(0, 64);
    }
    entries.push_back(line);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

bool ProgramRun::MountSmallDisk(const fs::path& folder) {
  fs::create_directory(folder);
  if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) return false;
  mounts_.push_back(folder);
  return true;
}

}  // namespace ledgerlift::testing_support
