// The disk on Linux and other POSIX systems. The output's folder is held
// open and every name in it is used relative to it, so that the temporary
// file's name never makes a path longer than the output's own.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>
#include <utility>

#include "files/real_file_system.h"

namespace ledgerlift {
namespace {

[[noreturn]] void ThrowError(int error) { throw FileError(std::strerror(error)); }

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// --- Signals ------------------------------------------------------------
// SIGINT, SIGTERM, SIGHUP and SIGQUIT end a run as they would end any
// program, but first remove the temporary file. The handler may only use
// what is set up beforehand: the folder's descriptor and the file's name,
// of fixed length, in static storage. One run writes at a time.

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
volatile sig_atomic_t g_temporary_folder = -1;
char g_temporary_name[kTemporaryNameSize + 1];
struct sigaction g_previous_actions[std::size(kCleanedSignals)];
bool g_installed[std::size(kCleanedSignals)];

extern "C" void RemoveTemporaryAndEnd(int signal_number) {
  const int saved_errno = errno;
  const int folder = g_temporary_folder;
  if (folder >= 0) unlinkat(folder, g_temporary_name, 0);
  for (size_t i = 0; i < std::size(kCleanedSignals); ++i) {
    if (kCleanedSignals[i] == signal_number) {
      sigaction(signal_number, &g_previous_actions[i], nullptr);
    }
  }
  raise(signal_number);  // delivered once the handler returns
  errno = saved_errno;
}

// Holds the cleaned signals back while the temporary file comes or goes,
// so that the handler never sees a name that is not ours.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : kCleanedSignals) sigaddset(&set, signal_number);
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

// Call with the signals held. A signal the program was told to ignore (a
// run under nohup) stays ignored.
void ArmSignalCleanup(int folder, const std::string& name) {
  std::memcpy(g_temporary_name, name.c_str(), kTemporaryNameSize + 1);
  g_temporary_folder = folder;
  struct sigaction action {};
  action.sa_handler = RemoveTemporaryAndEnd;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kCleanedSignals); ++i) {
    sigaction(kCleanedSignals[i], nullptr, &g_previous_actions[i]);
    g_installed[i] = g_previous_actions[i].sa_handler != SIG_IGN;
    if (g_installed[i]) sigaction(kCleanedSignals[i], &action, nullptr);
  }
}

void DisarmSignalCleanup() {
  g_temporary_folder = -1;
  for (size_t i = 0; i < std::size(kCleanedSignals); ++i) {
    if (g_installed[i]) sigaction(kCleanedSignals[i], &g_previous_actions[i], nullptr);
    g_installed[i] = false;
  }
}

// --- Input --------------------------------------------------------------

class PosixInput : public InputFile {
 public:
  PosixInput(Descriptor fd, const struct stat& status)
      : fd_(std::move(fd)), status_(status) {}

  size_t Read(char* buffer, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const ssize_t got = read(fd_.get(), buffer + done, size - done);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        ThrowError(errno);
      }
      done += static_cast<size_t>(got);
    }
    return done;
  }

  std::optional<std::uint64_t> Size() const override {
    if (!S_ISREG(status_.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(status_.st_size);
  }

  FileIdentity Identity() const override {
    return {static_cast<std::uint64_t>(status_.st_dev),
            static_cast<std::uint64_t>(status_.st_ino)};
  }

 private:
  Descriptor fd_;
  struct stat status_;
};

// --- Output -------------------------------------------------------------

// A path's folder and last piece: "a/b" gives "a" and "b", "/b" gives "/"
// and "b", "b" gives "." and "b".
std::pair<std::string, std::string> SplitPath(std::string_view path) {
  const size_t last = path.rfind('/');
  if (last == std::string_view::npos) return {".", std::string(path)};
  return {last == 0 ? "/" : std::string(path.substr(0, last)),
          std::string(path.substr(last + 1))};
}

// A folder held open only to name things in it (no read permission needed).
Descriptor OpenFolder(int at, const std::string& path) {
  Descriptor folder(openat(at, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) ThrowError(errno);
  return folder;
}

class PosixOutput : public OutputFile {
 public:
  explicit PosixOutput(const std::string& path) {
    auto [folder, name] = SplitPath(path);
    folder_ = OpenFolder(AT_FDCWD, folder);
    name_ = std::move(name);
    FollowLinks();
    Examine();
  }

  ~PosixOutput() override {
    file_ = Descriptor();
    if (temporary_name_.empty()) return;
    SignalsHeld held;
    unlinkat(folder_.get(), temporary_name_.c_str(), 0);
    DisarmSignalCleanup();
  }

  const ExistingOutput& Existing() const override { return existing_; }

  void Create() override {
    const bool replacing = existing_.kind == ExistingOutput::Kind::kFile;
    // Never more open than the file it replaces, even for a moment.
    const mode_t mode = replacing ? (status_.st_mode & 0666) : 0666;
    {
      SignalsHeld held;
      for (int attempt = 0; attempt < kTemporaryNameAttempts && file_.get() < 0;
           ++attempt) {
        std::string name = TemporaryFileName();
        file_ = Descriptor(openat(folder_.get(), name.c_str(),
                                  O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (file_.get() >= 0) {
          temporary_name_ = std::move(name);
          ArmSignalCleanup(folder_.get(), temporary_name_);
        } else if (errno != EEXIST) {
          ThrowError(errno);
        }
      }
    }
    if (file_.get() < 0) ThrowError(EEXIST);
    if (replacing) KeepOwnerAndPermissions();
  }

  void Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t written = write(file_.get(), bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) continue;
        ThrowError(errno);
      }
      bytes.remove_prefix(static_cast<size_t>(written));
    }
  }

  void Close(bool durable) override {
    if (durable && fsync(file_.get()) != 0) ThrowError(errno);
    if (close(file_.release()) != 0) ThrowError(errno);
  }

  void Replace() override {
    SignalsHeld held;
    if (renameat(folder_.get(), temporary_name_.c_str(), folder_.get(), name_.c_str()) !=
        0) {
      ThrowError(errno);
    }
    temporary_name_.clear();
    DisarmSignalCleanup();
  }

  // The file is read through its own descriptor, opened for reading too, so
  // its name can go at once and a signal has nothing left to remove.
  std::unique_ptr<InputFile> ReadBack() override {
    struct stat status;
    if (lseek(file_.get(), 0, SEEK_SET) != 0 || fstat(file_.get(), &status) != 0) {
      ThrowError(errno);
    }
    {
      SignalsHeld held;
      unlinkat(folder_.get(), temporary_name_.c_str(), 0);
      temporary_name_.clear();
      DisarmSignalCleanup();
    }
    return std::make_unique<PosixInput>(std::move(file_), status);
  }

 private:
  // Moves from a symbolic link at the output to the file it points to, so
  // that the link stays and the file it names gets the new register.
  void FollowLinks() {
    for (int link = 0; link < 40; ++link) {
      char target[PATH_MAX];
      const ssize_t size =
          readlinkat(folder_.get(), name_.c_str(), target, sizeof target);
      if (size < 0) {
        if (errno == EINVAL || errno == ENOENT) return;  // not a link, or nothing
        ThrowError(errno);
      }
      if (static_cast<size_t>(size) == sizeof target) ThrowError(ENAMETOOLONG);
      auto [folder, name] =
          SplitPath(std::string_view(target, static_cast<size_t>(size)));
      folder_ =
          OpenFolder(folder_.get(), folder);  // an absolute folder ignores the first
      name_ = std::move(name);
    }
    ThrowError(ELOOP);
  }

  void Examine() {
    if (fstatat(folder_.get(), name_.c_str(), &status_, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) return;
      ThrowError(errno);
    }
    using Kind = ExistingOutput::Kind;
    existing_.kind = S_ISDIR(status_.st_mode)   ? Kind::kFolder
                     : S_ISREG(status_.st_mode) ? Kind::kFile
                                                : Kind::kOther;
    existing_.identity = {static_cast<std::uint64_t>(status_.st_dev),
                          static_cast<std::uint64_t>(status_.st_ino)};
    existing_.read_only = (status_.st_mode & 0222) == 0;
  }

  // The owner first: changing it clears the set-user-ID bits, which the
  // permissions then bring back. Root may give the file to its owner, a
  // user only to a group of theirs; what is not allowed stays the user's.
  // Failures are no harm: the file was created no more open than the old.
  void KeepOwnerAndPermissions() {
    const int fd = file_.get();
    if (fchown(fd, status_.st_uid, status_.st_gid) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), status_.st_gid) != 0) {
      // the user's own group stays
    }
    fchmod(fd, status_.st_mode & 07777);
  }

  Descriptor folder_;
  std::string name_;
  struct stat status_ {};
  ExistingOutput existing_;
  Descriptor file_;
  std::string temporary_name_;  // set while the temporary file exists
};

}  // namespace

bool RealFileSystem::Exists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

bool RealFileSystem::IsFolder(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::unique_ptr<InputFile> RealFileSystem::OpenInput(const std::string& path) {
  Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status;
  if (fd.get() < 0 || fstat(fd.get(), &status) != 0) ThrowError(errno);
  return std::make_unique<PosixInput>(std::move(fd), status);
}

std::unique_ptr<OutputFile> RealFileSystem::OpenOutput(const std::string& path) {
  return std::make_unique<PosixOutput>(path);
}

}  // namespace ledgerlift
