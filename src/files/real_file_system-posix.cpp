// The disk on Linux and other POSIX systems. The output's folder is held
// open and every name in it is used relative to it, so that the temporary
// file's name never makes a path longer than the output's own.

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files/real_file_system.h"
#include "files/signal_cleanup-posix.h"

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

// --- Input --------------------------------------------------------------

class PosixInput : public InputFile {
 public:
  PosixInput(Descriptor fd, const struct stat& status)
      : fd_(std::move(fd)), status_(status) {}
  ~PosixInput() override {
    if (map_ == nullptr) return;
    UnguardMappedInput();
    munmap(const_cast<char*>(map_), static_cast<size_t>(status_.st_size));
  }
  PosixInput(const PosixInput&) = delete;
  PosixInput& operator=(const PosixInput&) = delete;

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

  std::optional<std::uint32_t> PermissionBits() const override {
    return status_.st_mode & 07777;
  }

  // Read in place, the statement's bytes are not copied out of the
  // system's cache; a mapping that fails leaves Read to serve.
  const char* Map() override {
    if (map_ != nullptr || !S_ISREG(status_.st_mode) || status_.st_size <= 0) return map_;
    void* const map = mmap(nullptr, static_cast<size_t>(status_.st_size), PROT_READ,
                           MAP_PRIVATE, fd_.get(), 0);
    if (map == MAP_FAILED) return nullptr;
    map_ = static_cast<const char*>(map);
    GuardMappedInput(map_, static_cast<size_t>(status_.st_size));
    return map_;
  }

  bool MapCut() const override { return map_ != nullptr && MappedInputCut(); }

  void ReleaseMapped(std::uint64_t offset, std::size_t size) override {
    madvise(const_cast<char*>(map_) + offset, size, MADV_DONTNEED);
  }

 private:
  Descriptor fd_;
  struct stat status_;
  const char* map_ = nullptr;
};

// --- Output -------------------------------------------------------------

// The name under which Linux keeps a file's access control list.
constexpr const char* kAccessControlList = "system.posix_acl_access";

// The extended attributes of a file in a folder: read through a descriptor,
// or, for a file the user may not read, through /proc. A call that fails
// for another reason than a file system without attributes fails the run:
// the access control list would otherwise be lost unseen.
class AttributesOf {
 public:
  AttributesOf(int folder, const std::string& name)
      : file_(openat(folder, name.c_str(),
                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {
    if (file_.get() >= 0) return;
    if (errno != EACCES) ThrowError(errno);
    file_ = Descriptor(openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (file_.get() < 0) ThrowError(errno);
    path_ = "/proc/self/fd/" + std::to_string(file_.get());
  }

  std::vector<std::string> Names() const {
    const std::string list = Fetch([&](char* buffer, size_t size) {
                               return path_.empty()
                                          ? flistxattr(file_.get(), buffer, size)
                                          : listxattr(path_.c_str(), buffer, size);
                             }).value_or("");
    std::vector<std::string> names;
    for (size_t at = 0; at < list.size();) {
      const size_t end = std::min(list.find('\0', at), list.size());
      names.push_back(list.substr(at, end - at));
      at = end + 1;
    }
    return names;
  }

  // None when the attribute was removed meanwhile.
  std::optional<std::string> Value(const std::string& name) const {
    return Fetch([&](char* buffer, size_t size) {
      return path_.empty() ? fgetxattr(file_.get(), name.c_str(), buffer, size)
                           : getxattr(path_.c_str(), name.c_str(), buffer, size);
    });
  }

 private:
  // Asks for the size, then the bytes, again when they grew meanwhile.
  template <typename Call>
  static std::optional<std::string> Fetch(Call call) {
    for (;;) {
      const ssize_t size = call(nullptr, 0);
      if (size < 0) {
        if (errno == ENODATA) return std::nullopt;
        if (errno == ENOTSUP) return std::string();
        ThrowError(errno);
      }
      std::string bytes(static_cast<size_t>(size), '\0');
      const ssize_t got = call(bytes.data(), bytes.size());
      if (got >= 0) {
        bytes.resize(static_cast<size_t>(got));
        return bytes;
      }
      if (errno != ERANGE) ThrowError(errno);
    }
  }

  Descriptor file_;
  std::string path_;  // set when the file is reached through /proc
};

// A path's folder and last piece: "a/b" gives "a" and "b", "/b" gives "/"
// and "b", "b" gives "." and "b".
std::pair<std::string, std::string> SplitPath(std::string_view path) {
  const size_t last = path.rfind('/');
  if (last == std::string_view::npos) return {".", std::string(path)};
  return {last == 0 ? "/" : std::string(path.substr(0, last)),
          std::string(path.substr(last + 1))};
}

// The same for the target of a symbolic link, which may end in "/": then it
// names a folder ("books/" gives "books" and "."; "/" gives "/" and ".").
std::pair<std::string, std::string> SplitLinkTarget(std::string_view target) {
  if (!target.empty() && target.back() == '/') {
    const size_t last = target.find_last_not_of('/');
    if (last == std::string_view::npos) return {"/", "."};
    return {std::string(target.substr(0, last + 1)), "."};
  }
  return SplitPath(target);
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
    if (FollowLinks()) {
      Examine();
    } else {
      existing_.kind = ExistingOutput::Kind::kForeignLink;
    }
  }

  ~PosixOutput() override {
    file_ = Descriptor();
    if (temporary_name_.empty()) return;
    SignalsHeld held;
    unlinkat(folder_.get(), temporary_name_.c_str(), 0);
    DisarmSignalCleanup();
  }

  const ExistingOutput& Existing() const override { return existing_; }

  void Create(const InputFile& statement) override {
    const bool replacing = existing_.kind == ExistingOutput::Kind::kFile;
    // Never more open than the file it replaces, even for a moment; a new
    // register is as private as its statement.
    const mode_t mode =
        (replacing ? status_.st_mode : statement.PermissionBits().value_or(0666)) & 0666;
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
    struct stat created;
    if (fstat(file_.get(), &created) != 0) ThrowError(errno);
    identity_ = {static_cast<std::uint64_t>(created.st_dev),
                 static_cast<std::uint64_t>(created.st_ino)};
    if (replacing) KeepOwnerAndPermissions();
  }

  // Every extended attribute of the register is tried: the user's own
  // (user.*), and those only root may set, which fail quietly for others.
  // Only the access control list must come along.
  void KeepAccess() override {
    AttributesOf old(folder_.get(), name_);
    for (const std::string& name : old.Names()) {
      const std::optional<std::string> value = old.Value(name);
      if (!value) continue;  // removed meanwhile
      if (fsetxattr(file_.get(), name.c_str(), value->data(), value->size(), 0) != 0 &&
          name == kAccessControlList) {
        throw FileError(std::string("its access control list cannot be kept: ") +
                        std::strerror(errno));
      }
    }
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
    durable_ = durable;
  }

  FileIdentity Replace() override {
    {
      SignalsHeld held;
      if (renameat(folder_.get(), temporary_name_.c_str(), folder_.get(),
                   name_.c_str()) != 0) {
        ThrowError(errno);
      }
      temporary_name_.clear();
      DisarmSignalCleanup();
    }
    if (durable_) SyncFolder();
    return identity_;
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
  // that the link stays and the file it names gets the new register. A link
  // is followed only when it is the user's own or belongs to the owner of
  // its folder: in a shared folder another user could plant one that leads
  // to any file of the user's. False when such a link stops the way.
  bool FollowLinks() {
    for (int link = 0; link < 40; ++link) {
      // The link itself, held open: what is read is what was checked.
      const Descriptor at(
          openat(folder_.get(), name_.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
      if (at.get() < 0) {
        if (errno == ENOENT) return true;
        ThrowError(errno);
      }
      struct stat link_status, folder_status;
      if (fstat(at.get(), &link_status) != 0 ||
          fstat(folder_.get(), &folder_status) != 0) {
        ThrowError(errno);
      }
      if (!S_ISLNK(link_status.st_mode)) return true;
      if (link_status.st_uid != geteuid() && link_status.st_uid != folder_status.st_uid) {
        return false;
      }
      char target[PATH_MAX];
      const ssize_t size = readlinkat(at.get(), "", target, sizeof target);
      if (size < 0) ThrowError(errno);
      if (static_cast<size_t>(size) == sizeof target) ThrowError(ENAMETOOLONG);
      auto [folder, name] =
          SplitLinkTarget(std::string_view(target, static_cast<size_t>(size)));
      folder_ =
          OpenFolder(folder_.get(), folder);  // an absolute folder ignores the first
      name_ = std::move(name);
    }
    ThrowError(ELOOP);
  }

  // The folder's new entry reaches the disk too, so that a crash cannot
  // bring the old register back. The register is in place by now: a
  // folder that cannot be flushed (no read permission) is no failure.
  void SyncFolder() {
    const Descriptor folder(
        openat(folder_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) fsync(folder.get());
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
  FileIdentity identity_;       // of the temporary file, which keeps it
  bool durable_ = false;
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
