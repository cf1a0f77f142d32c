// The disk on Linux and other POSIX systems. The output's folder is held
// open and every name in it is used relative to it, so that the temporary
// file's name never makes a path longer than the output's own.

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
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

  std::optional<std::uint32_t> Group() const override { return status_.st_gid; }

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

  bool Rewind() override { return lseek(fd_.get(), 0, SEEK_SET) == 0; }

  void ReleaseMapped(std::uint64_t offset, std::size_t size) override {
    madvise(const_cast<char*>(map_) + offset, size, MADV_DONTNEED);
  }

 private:
  Descriptor fd_;
  struct stat status_;
  const char* map_ = nullptr;
};

// --- Output -------------------------------------------------------------

FileIdentity IdentityOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev),
          static_cast<std::uint64_t>(status.st_ino)};
}

// Why a run does not replace a name that another program changed meanwhile.
constexpr const char* kCreatedMeanwhile = "another program created it during the run";
constexpr const char* kReplacedMeanwhile = "another program replaced it during the run";

// Whether users besides the folder's owner may put files in `folder`:
// sticky (a shared folder such as /tmp), group- or world-writable.
bool OthersMayWrite(const struct stat& folder) {
  return (folder.st_mode & (S_ISVTX | S_IWGRP | S_IWOTH)) != 0;
}

// The name under which Linux keeps a file's access control list.
constexpr const char* kAccessControlList = "system.posix_acl_access";

// An access control list as Linux keeps it: a 4-byte version, then entries
// of a 2-byte tag, 2-byte permissions and 4-byte id, little-endian.
constexpr size_t kAclHeader = 4, kAclEntry = 8;
constexpr unsigned kAclOwningGroup = 0x04, kAclMask = 0x10;

unsigned AclTag(const std::string& acl, size_t at) {
  return static_cast<unsigned char>(acl[at]) |
         static_cast<unsigned>(static_cast<unsigned char>(acl[at + 1])) << 8;
}

bool AclHasMask(const std::string& acl) {
  for (size_t at = kAclHeader; at + kAclEntry <= acl.size(); at += kAclEntry) {
    if (AclTag(acl, at) == kAclMask) return true;
  }
  return false;
}

// The file's own group loses its permissions; named users and groups keep
// theirs.
void CloseToOwningGroup(std::string& acl) {
  for (size_t at = kAclHeader; at + kAclEntry <= acl.size(); at += kAclEntry) {
    if (AclTag(acl, at) == kAclOwningGroup) acl[at + 2] = acl[at + 3] = '\0';
  }
}

// The extended attributes of the file examined in a folder: read through a
// descriptor of the same name (checked to be that file still), or, for a
// file the user may not read, through /proc and the descriptor held since it
// was examined. A call that fails for another reason than a file system
// without attributes fails the run: the access control list would
// otherwise be lost unseen.
class AttributesOf {
 public:
  AttributesOf(int folder, const std::string& name, int examined, FileIdentity identity)
      : file_(openat(folder, name.c_str(),
                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {
    struct stat status;
    if (file_.get() >= 0) {
      if (fstat(file_.get(), &status) != 0) ThrowError(errno);
      if (IdentityOf(status) != identity) throw FileError(kReplacedMeanwhile);
      return;
    }
    if (errno != EACCES) ThrowError(errno);
    path_ = "/proc/self/fd/" + std::to_string(examined);
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

  // Asks for the size, then the bytes, again when they grew meanwhile; none
  // when the file has no such attribute or its file system none at all.
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

 private:
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

// What the temporary file is given once it is complete, right before it
// takes the output's place.
struct Access {
  mode_t mode = 0600;
  uid_t owner = static_cast<uid_t>(-1);  // -1: the user's
  gid_t group = static_cast<gid_t>(-1);
  // The group the group's permissions were meant for: when the file ends up
  // with another, they go.
  std::optional<gid_t> meant_for;
  std::optional<std::string> acl;
  std::vector<std::pair<std::string, std::string>> attributes;
};

class PosixOutput : public OutputFile {
 public:
  explicit PosixOutput(const std::string& path) {
    auto [folder, name] = SplitPath(path);
    folder_ = OpenFolder(AT_FDCWD, folder);
    name_ = std::move(name);
    LookUp();
  }

  ~PosixOutput() override {
    file_ = Descriptor();
    if (temporary_name_.empty()) return;
    SignalsHeld held;
    unlinkat(folder_.get(), temporary_name_.c_str(), 0);
    DisarmSignalCleanup();
  }

  const ExistingOutput& Existing() const override { return existing_; }

  // Created for the user alone (the umask may narrow it further), so that
  // nobody can open it and keep it open while it fills; its access comes
  // when it is complete.
  void Create(const InputFile& statement) override {
    if (!access_) access_ = NewFileAccess(statement);
    {
      SignalsHeld held;
      for (int attempt = 0; attempt < kTemporaryNameAttempts && file_.get() < 0;
           ++attempt) {
        std::string name = TemporaryFileName();
        file_ = Descriptor(openat(folder_.get(), name.c_str(),
                                  O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
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
    identity_ = IdentityOf(created);
  }

  // Every extended attribute of the register is noted: the user's own
  // (user.*), and those only root may set, which Replace tries quietly.
  // Only the access control list must come along.
  void KeepAccess() override {
    if (!carried_ || kept_) return;
    AttributesOf old(folder_.get(), name_, examined_.get(), existing_.identity);
    for (const std::string& name : old.Names()) {
      std::optional<std::string> value = old.Value(name);
      if (!value) continue;  // removed meanwhile
      if (name == kAccessControlList) {
        access_->acl = std::move(value);
      } else {
        access_->attributes.emplace_back(name, std::move(*value));
      }
    }
    kept_ = true;
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

  // The descriptor stays open: Replace gives the file its access through
  // it, never through its name, which another user may have moved.
  void Close(bool durable) override {
    if (durable && fsync(file_.get()) != 0) ThrowError(errno);
    durable_ = durable;
  }

  // The access given after the flush reaches the disk with the folder's
  // flush: journaling file systems keep changes to files in their order.
  FileIdentity Replace() override {
    GiveAccess();
    if (close(file_.release()) != 0) ThrowError(errno);
    {
      SignalsHeld held;
      PutInPlace();
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
  // Follows symbolic links from the output to the file they name, so that
  // a link stays and the file it names gets the new register, and examines
  // what stands there. A link is followed only when it is the user's own or
  // belongs to the owner of its folder, and in a folder others may write to
  // only when it is the user's own: there another user could plant one that
  // leads to any file of the user's.
  void LookUp() {
    for (int link = 0; link < 40; ++link) {
      // Held open: what is read is what was checked.
      Descriptor at(
          openat(folder_.get(), name_.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
      if (at.get() < 0) {
        if (errno == ENOENT) return;
        ThrowError(errno);
      }
      struct stat status, folder_status;
      if (fstat(at.get(), &status) != 0 || fstat(folder_.get(), &folder_status) != 0) {
        ThrowError(errno);
      }
      if (!S_ISLNK(status.st_mode)) {
        Examine(std::move(at), status, folder_status);
        return;
      }
      if (status.st_uid != geteuid() &&
          (OthersMayWrite(folder_status) || status.st_uid != folder_status.st_uid)) {
        existing_.kind = ExistingOutput::Kind::kForeignLink;
        return;
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

  // What the register's access comes from: a file of the user's own, and
  // for root any file in a folder no other user may write to (its owner
  // kept too). Another user's file in a folder others may write to may have
  // been put there to be read: it is refused. Another user's file in the
  // user's own folder (root's, say) gives nothing: the register is new.
  void Examine(Descriptor file, const struct stat& status,
               const struct stat& folder_status) {
    using Kind = ExistingOutput::Kind;
    examined_ = std::move(file);
    existing_.kind = S_ISDIR(status.st_mode)   ? Kind::kFolder
                     : S_ISREG(status.st_mode) ? Kind::kFile
                                               : Kind::kOther;
    existing_.identity = IdentityOf(status);
    existing_.read_only = (status.st_mode & 0222) == 0;
    if (existing_.kind != Kind::kFile) return;
    const bool own = status.st_uid == geteuid();
    const bool shared = OthersMayWrite(folder_status);
    existing_.foreign = !own && shared;
    carried_ = own || (geteuid() == 0 && !shared);
    if (!carried_) return;
    access_.emplace();
    access_->mode = status.st_mode & 07777;
    if (geteuid() == 0) access_->owner = status.st_uid;
    access_->group = status.st_gid;
    access_->meant_for = status.st_gid;
  }

  // A new register's permissions: the statement's bits, never executable,
  // as a file created with them in the folder gets them (the umask, or the
  // folder's default access control list), learnt from a file without a name
  // that nobody else can reach; where the file system has none, the umask's.
  // The bits meant the statement's group.
  Access NewFileAccess(const InputFile& statement) const {
    Access access;
    const mode_t bits = statement.PermissionBits().value_or(0666) & 0666;
    const Descriptor probe(
        openat(folder_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, bits));
    struct stat status;
    if (probe.get() >= 0 && fstat(probe.get(), &status) == 0) {
      access.mode = status.st_mode & 07777;
      access.acl = AttributesOf::Fetch([&](char* buffer, size_t size) {
        return fgetxattr(probe.get(), kAccessControlList, buffer, size);
      });
      if (access.acl && access.acl->empty()) access.acl.reset();
    } else {
      // Read by setting it: narrowest meanwhile, should another thread create a file.
      const mode_t mask = umask(0777);
      umask(mask);
      access.mode = bits & ~mask;
    }
    if (const std::optional<std::uint32_t> group = statement.Group()) {
      access.meant_for = static_cast<gid_t>(*group);
    }
    return access;
  }

  // The owner first: changing it clears the set-user-ID bits, which the
  // permissions then bring back. Root may give the file to the old
  // register's owner, a user only to a group of theirs; what is not allowed
  // stays the user's, and the group's permissions go when the group is not
  // the one they were meant for (a list's owning-group entry, and the bits
  // where no mask stands for them). Permissions that cannot be set leave
  // the file private; an access control list that cannot be given fails.
  void GiveAccess() {
    const int fd = file_.get();
    Access& access = *access_;
    if ((access.owner != static_cast<uid_t>(-1) ||
         access.group != static_cast<gid_t>(-1)) &&
        fchown(fd, access.owner, access.group) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), access.group) != 0) {
      // the user's own group stays
    }
    struct stat now;
    if (fstat(fd, &now) != 0) ThrowError(errno);
    mode_t mode = access.mode;
    std::optional<std::string> acl = access.acl;
    if (now.st_gid != access.meant_for) {
      if (acl) CloseToOwningGroup(*acl);
      if (!acl || !AclHasMask(*acl)) mode &= ~mode_t{070};
    }
    fchmod(fd, mode);
    for (const auto& [name, value] : access.attributes) {
      fsetxattr(fd, name.c_str(), value.data(), value.size(), 0);
    }
    if (acl && fsetxattr(fd, kAccessControlList, acl->data(), acl->size(), 0) != 0) {
      throw FileError(std::string("its access control list cannot be kept: ") +
                      std::strerror(errno));
    }
  }

  // Renames the temporary file over the name looked up, only when that
  // still holds what was there: a new register never replaces a file that
  // appeared meanwhile, a replaced one only the file examined.
  void PutInPlace() {
    const int folder = folder_.get();
    const char* const from = temporary_name_.c_str();
    const char* const to = name_.c_str();
    if (existing_.kind == ExistingOutput::Kind::kNone) {
      if (renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return;
      if (errno == EEXIST) throw FileError(kCreatedMeanwhile);
      // A file system that cannot rename so: looked at just before.
      if (errno != EINVAL && errno != ENOSYS) ThrowError(errno);
      struct stat status;
      if (fstatat(folder, to, &status, AT_SYMLINK_NOFOLLOW) == 0) {
        throw FileError(kCreatedMeanwhile);
      }
      if (errno != ENOENT) ThrowError(errno);
    } else {
      struct stat status;
      if (fstatat(folder, to, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) throw FileError(kReplacedMeanwhile);
        ThrowError(errno);
      }
      if (IdentityOf(status) != existing_.identity) throw FileError(kReplacedMeanwhile);
    }
    if (renameat(folder, from, folder, to) != 0) ThrowError(errno);
  }

  // The folder's new entry reaches the disk too, so that a crash cannot
  // bring the old register back. The register is in place by now: a
  // folder that cannot be flushed (no read permission) is no failure.
  void SyncFolder() {
    const Descriptor folder(
        openat(folder_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) fsync(folder.get());
  }

  Descriptor folder_;
  std::string name_;
  ExistingOutput existing_;
  Descriptor examined_;   // the file at the name, held since it was looked up
  bool carried_ = false;  // its access comes to the register
  bool kept_ = false;     // its attributes were read
  std::optional<Access> access_;
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
