#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "statement/output_buffer.h"

namespace ledgerlift {

// What a conversion run needs from the disk. Each platform provides it
// (files/real_file_system.h); tests provide one in memory. The run's rules
// (what may be replaced, when, in which order) live with the caller, so
// that both platforms follow them alike.

// A failed call: the system's reason, ready for a person ("Permission
// denied"). The caller adds what it was doing and the path.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Which file a handle or path reaches, whatever way it was named: the same
// two numbers mean the same file (a link, another letter case, a path
// through another folder).
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

class InputFile : public ByteSource {
 public:
  // The size of a plain file when it was opened; none for a pipe or device.
  virtual std::optional<std::uint64_t> Size() const = 0;
  virtual FileIdentity Identity() const = 0;
  // Reads again from the start; false where the system cannot (a pipe).
  virtual bool Rewind() { return false; }
  // The permission bits (POSIX st_mode & 07777) of the file; none where the
  // system keeps no such bits (Windows).
  virtual std::optional<std::uint32_t> PermissionBits() const { return std::nullopt; }
  // The file's group (POSIX st_gid); none where the system has no such thing.
  virtual std::optional<std::uint32_t> Group() const { return std::nullopt; }
  // The file's `Size()` bytes mapped into memory, to be read in place rather
  // than copied by Read; nothing where the system cannot map it (then Read
  // serves). Valid while this object lives, and only while the temporary
  // file of a run exists.
  virtual const char* Map() { return nullptr; }
  // Whether another program cut the mapped file short while it was read:
  // the bytes cut off read as zeros.
  virtual bool MapCut() const { return false; }
  // The mapped bytes from `offset` (a multiple of 64 KiB), `size` of them,
  // are read: they leave the program's memory, staying in the system's
  // cache, so that the program's memory does not grow with the file.
  virtual void ReleaseMapped(std::uint64_t /*offset*/, std::size_t /*size*/) {}
};

// What stands at the output path, after following symbolic links.
struct ExistingOutput {
  enum class Kind {
    kNone,
    kFile,
    kFolder,
    kOther,        // a device, a pipe
    kForeignLink,  // a link that another user put there: not followed
  };
  Kind kind = Kind::kNone;
  FileIdentity identity;
  bool read_only = false;  // nobody may write it, or its read-only attribute
  // A file of another user in a folder others may write to (sticky, group-
  // or world-writable): anyone there may have put it in the user's way, to
  // read what is written into it. Never replaced.
  bool foreign = false;
};

// The output of one run: a temporary file beside the file the output path
// names (links followed, looked up once, when this object is made), which
// takes that file's place at the end. The temporary file is removed when
// this object goes before Replace succeeded.
class OutputFile : public ByteSink {
 public:
  virtual const ExistingOutput& Existing() const = 0;
  // Creates the temporary file, exclusively, readable and writable by the
  // user alone until Replace: nobody else can open it while it fills. Again
  // after ReadBack, for the same output.
  virtual void Create(const InputFile& statement) = 0;
  // Reads now what guards the existing output, to be given to the
  // temporary file by Replace: its permissions, access control list, the
  // extended attributes the user may set, and where the user may set them
  // its owner and group. Only from a file that is the user's own (root's:
  // any file in a folder no other user may write to); another's is replaced
  // like a new output.
  virtual void KeepAccess() = 0;
  void Write(std::string_view bytes) override = 0;
  // Ends writing; with `durable`, the bytes reach the disk first, so that a
  // crash after Replace cannot leave an empty file. The file may stay open
  // until Replace has given it its access.
  virtual void Close(bool durable) = 0;
  // Gives the temporary file its access, then puts it in the output's
  // place, only when the name still holds what was looked up (nothing, or
  // the same file), and returns the identity of the file now there. A new
  // output takes the permission bits of the statement as the umask allows.
  // The group's bits go when the file's group is not the one they were
  // meant for (the old output's, the statement's), and an access control
  // list that cannot be given fails: an output is never open to more
  // people than before.
  virtual FileIdentity Replace() = 0;
  // Ends writing and hands the temporary file's bytes back, to be read from
  // the start, for a run that rewrites what it wrote into another temporary
  // file, which Create then makes for the same output. The file goes away
  // as it would without Replace: its name now where the system allows (it
  // is read through the open handle), else when both this and the reader
  // are gone.
  virtual std::unique_ptr<InputFile> ReadBack() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Whether anything (a file, a folder) stands at `path`.
  virtual bool Exists(const std::string& path) = 0;
  virtual bool IsFolder(const std::string& path) = 0;
  virtual std::unique_ptr<InputFile> OpenInput(const std::string& path) = 0;
  // Looks at the output's folder and at what stands at `path`, once for the
  // whole run.
  virtual std::unique_ptr<OutputFile> OpenOutput(const std::string& path) = 0;
};

}  // namespace ledgerlift
