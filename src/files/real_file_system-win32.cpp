// The disk on Windows, through the UTF-16 (W) functions, every path in the
// extended-length form ("\\?\C:\..."), so that a path of any length works
// whatever the system's setting for long paths. The temporary file is marked
// for deletion while it is written, so that a run ended from outside (Task
// Manager, a closed session) leaves nothing behind either; the mark is
// lifted just before the file takes the output's place.

#include <windows.h>

#include <algorithm>
#include <utility>

#include "files/owners-win32.h"
#include "files/real_file_system.h"
#include "files/utf16-win32.h"

namespace ledgerlift {
namespace {

[[noreturn]] void ThrowError(DWORD error) { throw FileError(SystemErrorText(error)); }
[[noreturn]] void ThrowLastError() { ThrowError(GetLastError()); }

constexpr DWORD kLargestCall = 1 << 30;  // ReadFile and WriteFile take a DWORD

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

class Win32Input : public InputFile {
 public:
  explicit Win32Input(FileHandle file) : file_(std::move(file)) {
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(file_.get(), &info)) identity_ = IdentityOf(info);
    LARGE_INTEGER size;
    if (GetFileType(file_.get()) == FILE_TYPE_DISK && GetFileSizeEx(file_.get(), &size)) {
      size_ = static_cast<std::uint64_t>(size.QuadPart);
    }
  }

  size_t Read(char* buffer, size_t size) override {
    size_t done = 0;
    while (done < size) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, kLargestCall));
      if (!ReadFile(file_.get(), buffer + done, want, &got, nullptr)) {
        const DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE) break;  // a pipe's writer is done
        ThrowError(error);
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  std::optional<std::uint64_t> Size() const override { return size_; }
  FileIdentity Identity() const override { return identity_; }
  bool Rewind() override {
    return size_ && SetFilePointerEx(file_.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN);
  }

 private:
  FileHandle file_;
  std::optional<std::uint64_t> size_;
  FileIdentity identity_;
};

// The path's folder part with its separator ("C:\Data\" of "C:\Data\x.qif",
// "C:" of "C:x.qif"), to which a name in the same folder is appended.
std::wstring FolderPart(const std::wstring& path) {
  const size_t last = path.find_last_of(L"\\/");
  if (last != std::wstring::npos) return path.substr(0, last + 1);
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  return {};
}

class Win32Output : public OutputFile {
 public:
  explicit Win32Output(const std::string& path) : target_(ExtendedLengthPath(path)) {
    FileHandle file(CreateFileW(
        target_.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) return;  // its folder is there
      ThrowLastError();
    }
    FollowLinks(file);
    Examine(file);
  }

  ~Win32Output() override {
    file_ = FileHandle();  // a file still marked for deletion goes now
    if (!temporary_.empty()) DeleteFileW(temporary_.c_str());
    if (!read_back_.empty()) DeleteFileW(read_back_.c_str());
  }

  const ExistingOutput& Existing() const override { return existing_; }

  // The new file takes the folder's inherited permissions, as any new file
  // there does; Windows has no permission bits to take from the statement.
  void Create(const InputFile&) override {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
      const std::wstring name = TemporaryPath();
      file_ =
          FileHandle(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_.valid()) {
        temporary_ = name;
        MarkForDeletion(true);  // where this fails, the destructor still removes it
        return;
      }
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ThrowError(error);
    }
    ThrowError(ERROR_FILE_EXISTS);
  }

  // ReplaceFile keeps the old file's access control list itself.
  void KeepAccess() override {}

  void Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      DWORD written = 0;
      const DWORD size = static_cast<DWORD>(std::min<size_t>(bytes.size(), kLargestCall));
      if (!WriteFile(file_.get(), bytes.data(), size, &written, nullptr))
        ThrowLastError();
      bytes.remove_prefix(written);
    }
  }

  void Close(bool durable) override {
    if (!MarkForDeletion(false)) ThrowLastError();
    if (durable && !FlushFileBuffers(file_.get())) ThrowLastError();
    if (!CloseHandle(file_.release())) ThrowLastError();
  }

  // The identity is read back from the path: ReplaceFile may keep the old
  // file's rather than the new one's.
  FileIdentity Replace() override {
    if (existing_.kind == ExistingOutput::Kind::kFile) {
      ReplaceExisting();
    } else if (!MoveFileExW(temporary_.c_str(), target_.c_str(),
                            MOVEFILE_REPLACE_EXISTING)) {
      ThrowLastError();
    }
    temporary_.clear();
    const FileHandle written(CreateFileW(
        target_.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!written.valid() || !GetFileInformationByHandle(written.get(), &info)) return {};
    return IdentityOf(info);
  }

  // The reader takes the handle, opened for reading too; the file stays
  // marked for deletion and goes when the reader closes it. Create may then
  // make the next temporary file.
  std::unique_ptr<InputFile> ReadBack() override {
    if (!SetFilePointerEx(file_.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
      ThrowLastError();
    }
    read_back_ = std::exchange(temporary_, std::wstring());
    return std::make_unique<Win32Input>(std::move(file_));
  }

 private:
  // The path of the file the handle reached: a symbolic link at the output
  // (on Windows, or a Unix one under Wine) then stays, and the file it
  // names is replaced. Where the system cannot tell, the path stays as given.
  void FollowLinks(const FileHandle& file) {
    std::wstring final_path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD size = GetFinalPathNameByHandleW(
          file.get(), final_path.data(), static_cast<DWORD>(final_path.size()), 0);
      if (size == 0) return;
      const bool fits = size < final_path.size();
      final_path.resize(size);
      if (fits) break;
    }
    target_ = std::move(final_path);
  }

  // ReplaceFile keeps what the old file had: attributes, permissions (its
  // access control list), creation time. The old file is first moved aside
  // under a temporary name of its own (ReplaceFile's backup) and removed
  // once the new one has its name: where the new one cannot take the name,
  // the old one gets it back (without a backup, Windows may have deleted
  // the old file by then). Wine's ReplaceFile, given no backup, copies the
  // path into a buffer of MAX_PATH characters: it fails on a longer path or
  // overruns the buffer; with one, it renames the two files by their paths.
  void ReplaceExisting() {
    const std::wstring backup = UnusedTemporaryPath();
    if (!ReplaceFileW(target_.c_str(), temporary_.c_str(), backup.c_str(),
                      REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                      nullptr, nullptr)) {
      DWORD error = GetLastError();
      if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
          MoveFileExW(backup.c_str(), target_.c_str(), 0)) {
        error = ERROR_UNABLE_TO_MOVE_REPLACEMENT;  // the old file kept its name
      }
      ThrowError(error);
    }
    DeleteFileW(backup.c_str());
  }

  // A new temporary file's path, beside the output.
  std::wstring TemporaryPath() const {
    return FolderPart(target_) + Utf8ToUtf16(TemporaryFileName());
  }

  // A temporary path beside the output that nothing has.
  std::wstring UnusedTemporaryPath() const {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
      std::wstring path = TemporaryPath();
      if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
          GetLastError() == ERROR_FILE_NOT_FOUND) {
        return path;
      }
    }
    ThrowError(ERROR_FILE_EXISTS);
  }

  void Examine(const FileHandle& file) {
    using Kind = ExistingOutput::Kind;
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {  // CON, NUL
      existing_.kind = Kind::kOther;
      return;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.get(), &info)) ThrowLastError();
    existing_.kind =
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::kFolder : Kind::kFile;
    existing_.identity = IdentityOf(info);
    existing_.read_only = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  }

  bool MarkForDeletion(bool deleted) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deleted)};
    return SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition,
                                      sizeof disposition);
  }

  std::wstring target_;  // the file the output path names, links followed
  ExistingOutput existing_;
  FileHandle file_;
  std::wstring temporary_;  // set while the temporary file exists
  std::wstring read_back_;  // the one ReadBack handed over
};

}  // namespace

bool RealFileSystem::Exists(const std::string& path) {
  return GetFileAttributesW(ExtendedLengthPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RealFileSystem::IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::unique_ptr<InputFile> RealFileSystem::OpenInput(const std::string& path) {
  FileHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr));
  if (!file.valid()) ThrowLastError();
  return std::make_unique<Win32Input>(std::move(file));
}

std::unique_ptr<OutputFile> RealFileSystem::OpenOutput(const std::string& path) {
  return std::make_unique<Win32Output>(path);
}

}  // namespace ledgerlift
