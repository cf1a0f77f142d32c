// The rules of a file run, on a disk in memory: what is refused before
// anything is read or created, the order of the steps (the input read
// completely and closed before the output is replaced, the new bytes on the
// disk before they replace a register), the error number of each failing
// step, and that every failure removes the temporary file and keeps the
// old register.

#include "run/conversion_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "fixtures.h"
#include "run/overlapped_disk.h"

namespace ledgerlift {
namespace {

using testing_support::AccountHeader;
using testing_support::kShopLine;
using testing_support::kShopRecord;
using testing_support::kShopRegister;

constexpr const char* kOldRegister = "an earlier register";

// A disk in memory that logs each call and fails the one named `failing`.
class FakeFileSystem : public FileSystem {
 public:
  struct File {
    std::string content;
    ExistingOutput::Kind kind = ExistingOutput::Kind::kFile;
    bool read_only = false;
    FileIdentity identity;
    bool foreign = false;
  };

  void Add(const std::string& path, std::string content,
           ExistingOutput::Kind kind = ExistingOutput::Kind::kFile,
           bool read_only = false) {
    files[path] = {std::move(content), kind, read_only, {0, ++last_identity_}};
  }
  void Call(const std::string& call) {
    log.push_back(call);
    if (call == failing && failing_after-- == 0) throw FileError("it failed");
    if (call == out_of_memory_at) throw std::bad_alloc();
  }

  bool Exists(const std::string& path) override { return files.count(path) != 0; }
  bool IsFolder(const std::string& path) override {
    return Exists(path) && files[path].kind == ExistingOutput::Kind::kFolder;
  }
  std::unique_ptr<InputFile> OpenInput(const std::string& path) override;
  std::unique_ptr<OutputFile> OpenOutput(const std::string& path) override;

  std::map<std::string, File> files;
  std::vector<std::string> log;
  std::string failing;
  int failing_after = 0;  // calls named `failing` that succeed first
  std::string out_of_memory_at;
  size_t claimed_extra_size = 0;  // the input shrinks by this after opening
  bool mapped = false;            // the input is read in place
  bool map_cut = false;           // and was cut short meanwhile

 private:
  std::uint64_t last_identity_ = 0;
};

class FakeInput : public InputFile {
 public:
  FakeInput(FakeFileSystem& disk, const FakeFileSystem::File& file)
      : disk_(disk), file_(file) {}
  ~FakeInput() override { disk_.log.push_back("close input"); }
  size_t Read(char* buffer, size_t size) override {
    disk_.Call("read");
    const size_t got = std::min(size, file_.content.size() - position_);
    file_.content.copy(buffer, got, position_);
    position_ += got;
    return got;
  }
  std::optional<std::uint64_t> Size() const override {
    return file_.content.size() + disk_.claimed_extra_size;
  }
  FileIdentity Identity() const override { return file_.identity; }
  const char* Map() override { return disk_.mapped ? file_.content.data() : nullptr; }
  bool MapCut() const override { return disk_.map_cut; }
  bool Rewind() override {
    position_ = 0;
    return true;
  }

 private:
  FakeFileSystem& disk_;
  const FakeFileSystem::File& file_;
  size_t position_ = 0;
};

class FakeOutput : public OutputFile {
 public:
  FakeOutput(FakeFileSystem& disk, const std::string& path) : disk_(disk), path_(path) {
    if (auto it = disk.files.find(path); it != disk.files.end()) {
      existing_ = {it->second.kind, it->second.identity, it->second.read_only,
                   it->second.foreign};
    }
  }
  ~FakeOutput() override {
    if (temporary_.empty()) return;
    disk_.files.erase(temporary_);
    disk_.log.push_back("remove temporary");
  }
  const ExistingOutput& Existing() const override { return existing_; }
  void Create(const InputFile&) override {
    disk_.Call("create");
    temporary_ = path_ + ".tmp";
    disk_.Add(temporary_, "");
  }
  void Write(std::string_view bytes) override {
    disk_.Call("write");
    disk_.files[temporary_].content += bytes;
  }
  void Close(bool durable) override { disk_.Call(durable ? "sync and close" : "close"); }
  void KeepAccess() override { disk_.Call("keep access"); }
  FileIdentity Replace() override {
    disk_.Call("replace");
    disk_.files[path_] = disk_.files[temporary_];
    disk_.files.erase(std::exchange(temporary_, ""));
    return disk_.files[path_].identity;
  }
  // Like the POSIX disk: the name goes at once, the bytes stay readable.
  std::unique_ptr<InputFile> ReadBack() override {
    disk_.Call("read back");
    read_back_ = disk_.files.at(temporary_);
    disk_.files.erase(std::exchange(temporary_, ""));
    return std::make_unique<FakeInput>(disk_, read_back_);
  }

 private:
  FakeFileSystem& disk_;
  std::string path_;
  ExistingOutput existing_;
  std::string temporary_;
  FakeFileSystem::File read_back_;
};

std::unique_ptr<InputFile> FakeFileSystem::OpenInput(const std::string& path) {
  Call("open input");
  return std::make_unique<FakeInput>(*this, files.at(path));
}

std::unique_ptr<OutputFile> FakeFileSystem::OpenOutput(const std::string& path) {
  Call("open output");
  return std::make_unique<FakeOutput>(*this, path);
}

using Log = std::vector<std::string>;
const Log kRefused = {"open input", "open output", "close input"};

struct RunCase {
  const char* name;
  std::function<void(FakeFileSystem&)> prepare;
  const char* message;  // empty when the run succeeds
  Log log;
};

void ExistingRegister(FakeFileSystem& disk) { disk.Add("out.qif", kOldRegister); }

const RunCase kRunCases[] = {
    {"new output: written, closed, put in place, no flush to the disk",
     [](FakeFileSystem&) {},
     "",
     {"open input", "open output", "create", "read", "write", "close input", "close",
      "replace"}},
    {"replaced register: its access kept, its new bytes on the disk before it replaces",
     ExistingRegister,
     "",
     {"open input", "open output", "create", "keep access", "read", "write",
      "close input", "sync and close", "replace"}},
    {"output is the input: refused before anything is read or created",
     [](FakeFileSystem& disk) { disk.files["out.qif"] = disk.files.at("in.qfx"); },
     "Error 8: cannot convert in.qfx: the QIF file would replace the statement itself",
     kRefused},
    {"read-only register: refused before anything is read or created",
     [](FakeFileSystem& disk) {
       disk.Add("out.qif", kOldRegister, ExistingOutput::Kind::kFile, true);
     },
     "Error 6: cannot replace output file out.qif: the file is read-only", kRefused},
    {"another user's register in a shared folder: refused",
     [](FakeFileSystem& disk) {
       ExistingRegister(disk);
       disk.files["out.qif"].foreign = true;
     },
     "Error 6: cannot replace output file out.qif: it belongs to another user", kRefused},
    {"link of another user at the output: not followed, refused",
     [](FakeFileSystem& disk) {
       disk.Add("out.qif", "", ExistingOutput::Kind::kForeignLink);
     },
     "Error 6: cannot replace output file out.qif: the link belongs to another user",
     kRefused},
    {"folder at the output",
     [](FakeFileSystem& disk) { disk.Add("out.qif", "", ExistingOutput::Kind::kFolder); },
     "Error 6: cannot replace output file out.qif: Is a directory", kRefused},
    {"device at the output",
     [](FakeFileSystem& disk) { disk.Add("out.qif", "", ExistingOutput::Kind::kOther); },
     "Error 6: cannot replace output file out.qif: not a regular file", kRefused},
    {"input cannot be opened",
     [](FakeFileSystem& disk) { disk.failing = "open input"; },
     "Error 2: cannot open input file in.qfx: it failed",
     {"open input"}},
    {"output's folder cannot be opened",
     [](FakeFileSystem& disk) { disk.failing = "open output"; },
     "Error 4: cannot create output file out.qif: it failed",
     {"open input", "open output", "close input"}},
    {"temporary file cannot be created",
     [](FakeFileSystem& disk) {
       ExistingRegister(disk);
       disk.failing = "create";
     },
     "Error 4: cannot create output file out.qif: it failed",
     {"open input", "open output", "create", "close input"}},
    {"register's access cannot be kept: refused before anything is read",
     [](FakeFileSystem& disk) {
       ExistingRegister(disk);
       disk.failing = "keep access";
     },
     "Error 6: cannot replace output file out.qif: it failed",
     {"open input", "open output", "create", "keep access", "remove temporary",
      "close input"}},
    {"input without any OFX data: read whole, then refused",
     [](FakeFileSystem& disk) {
       ExistingRegister(disk);
       disk.Add("in.qfx", "<html>Your session has expired</html>");
     },
     "Error 9: in.qfx is not a QFX/OFX statement. Download the statement from your bank "
     "again, choosing Quicken (QFX), OFX or Money format.",
     {"open input", "open output", "create", "keep access", "read", "write",
      "remove temporary", "close input"}},
    {"read fails",
     [](FakeFileSystem& disk) {
       ExistingRegister(disk);
       disk.failing = "read";
     },
     "Error 3: cannot read input file in.qfx: it failed",
     {"open input", "open output", "create", "keep access", "read", "remove temporary",
      "close input"}},
    {"input shrinks while it is read",
     [](FakeFileSystem& disk) {
       ExistingRegister(disk);
       disk.claimed_extra_size = 1;
     },
     "Error 3: cannot read input file in.qfx: the file shrank while it was read",
     {"open input", "open output", "create", "keep access", "read", "remove temporary",
      "close input"}},
    {"write fails",
     [](FakeFileSystem& disk) {
       ExistingRegister(disk);
       disk.failing = "write";
     },
     "Error 5: cannot write output file out.qif: it failed",
     {"open input", "open output", "create", "keep access", "read", "write",
      "remove temporary", "close input"}},
    {"memory runs out",
     [](FakeFileSystem& disk) {
       ExistingRegister(disk);
       disk.out_of_memory_at = "write";
     },
     "Error 1: cannot convert in.qfx: not enough memory",
     {"open input", "open output", "create", "keep access", "read", "write",
      "remove temporary", "close input"}},
    {"flush to the disk fails",
     [](FakeFileSystem& disk) {
       ExistingRegister(disk);
       disk.failing = "sync and close";
     },
     "Error 5: cannot write output file out.qif: it failed",
     {"open input", "open output", "create", "keep access", "read", "write",
      "close input", "sync and close", "remove temporary"}},
    {"replacing fails",
     [](FakeFileSystem& disk) {
       ExistingRegister(disk);
       disk.failing = "replace";
     },
     "Error 6: cannot replace output file out.qif: it failed",
     {"open input", "open output", "create", "keep access", "read", "write",
      "close input", "sync and close", "replace", "remove temporary"}},
};

TEST(ConversionRun, StepsFailuresAndWhatIsLeft) {
  for (const RunCase& c : kRunCases) {
    SCOPED_TRACE(c.name);
    FakeFileSystem disk;
    disk.Add("in.qfx", kShopLine);
    c.prepare(disk);
    const auto before = disk.files;
    const RunResult result = ConvertFile(disk, "in.qfx", "out.qif");
    EXPECT_EQ(result.error ? result.error->Message() : "", c.message);
    EXPECT_EQ(disk.log, c.log);
    if (result.error) {
      EXPECT_EQ(disk.files.size(), before.size()) << "a temporary file was left";
      if (before.contains("out.qif")) {
        EXPECT_EQ(disk.files.at("out.qif").content, before.at("out.qif").content);
      }
    } else {
      EXPECT_EQ(disk.files.at("out.qif").content, kShopRegister);
      EXPECT_FALSE(disk.files.contains("out.qif.tmp"));
    }
  }
}

// Two statements of one run that lead to one register: the first is kept.
TEST(ConversionRun, RegisterWrittenEarlierInTheRunIsRefused) {
  FakeFileSystem disk;
  disk.Add("x.qfx", kShopLine);
  disk.Add("x.ofx", "<OFX></OFX>");
  RunRegisters registers;
  EXPECT_FALSE(ConvertFile(disk, "x.qfx", "x.qif", &registers).error);
  disk.log.clear();
  const RunResult second = ConvertFile(disk, "x.ofx", "x.qif", &registers);
  ASSERT_TRUE(second.error);
  EXPECT_EQ(
      second.error->Message(),
      "Error 10: cannot convert x.ofx: its QIF file x.qif was written from x.qfx in "
      "this run");
  EXPECT_EQ(disk.log, kRefused);
  EXPECT_EQ(disk.files.at("x.qif").content, kShopRegister);
  // Another run may replace it.
  EXPECT_FALSE(ConvertFile(disk, "x.ofx", "x.qif").error);
}

// A statement of several accounts: the plain register is read back and
// rewritten, one block per account, into a second temporary file of the
// same output (not looked up again), which takes the output's place.
// Neither temporary file is left, whatever fails.
TEST(ConversionRun, SeveralAccountsAreRewrittenInBlocks) {
  const std::string statement = std::string("<STMTRS><ACCTID>1\n") + kShopLine +
                                "\n<CCSTMTRS><ACCTID>2\n" + kShopLine + "\n";
  const struct {
    const char* failing;
    const char* message;
    Log log;
  } cases[] = {
      {"",
       "",
       {"open input", "open output", "create", "keep access", "read", "write",
        "read back", "create", "read", "read", "read", "write", "close input",
        "close input", "sync and close", "replace"}},
      {"read back",
       "Error 5: cannot write output file out.qif: it failed",
       {"open input", "open output", "create", "keep access", "read", "write",
        "read back", "remove temporary", "close input"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing);
    FakeFileSystem disk;
    disk.Add("in.qfx", statement);
    ExistingRegister(disk);
    disk.failing = c.failing;
    const RunResult result = ConvertFile(disk, "in.qfx", "out.qif");
    EXPECT_EQ(result.error ? result.error->Message() : "", c.message);
    EXPECT_EQ(disk.log, c.log);
    EXPECT_EQ(disk.files.size(), 2u) << "a temporary file was left";
    EXPECT_EQ(disk.files.at("out.qif").content,
              result.error ? kOldRegister
                           : AccountHeader("1", "Bank") + kShopRecord +
                                 AccountHeader("2", "CCard") + kShopRecord);
  }
}

// A statement large enough to be read and written on a second thread: the
// same register, and each failure of the thread reported as on this one,
// however far the run had gone.
TEST(ConversionRun, LargeStatementOnASecondThread) {
  std::string statement, records;
  while (statement.size() < kOverlapFrom + kReadBlockSize / 2) {
    statement += kShopLine;
    statement += "\r\n";
    records += kShopRecord;
  }
  constexpr const char* kShrank =
      "Error 3: cannot read input file in.qfx: the file shrank while it was read";
  const struct {
    const char* failing;
    int failing_after;
    size_t claimed_extra_size;
    bool mapped, map_cut;
    const char* message;
  } cases[] = {
      {"", 0, 0, false, false, ""},
      {"read", 0, 0, false, false, "Error 3: cannot read input file in.qfx: it failed"},
      {"read", 12, 0, false, false, "Error 3: cannot read input file in.qfx: it failed"},
      {"write", 0, 0, false, false,
       "Error 5: cannot write output file out.qif: it failed"},
      {"write", 3, 0, false, false,
       "Error 5: cannot write output file out.qif: it failed"},
      {"", 0, 1, false, false, kShrank},
      {"", 0, 0, true, false, ""},
      {"", 0, 0, true, true, kShrank},
      {"write", 2, 0, true, false,
       "Error 5: cannot write output file out.qif: it failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.failing << " after " << c.failing_after
                                    << (c.mapped ? ", mapped" : ""));
    FakeFileSystem disk;
    disk.Add("in.qfx", statement);
    ExistingRegister(disk);
    disk.failing = c.failing;
    disk.failing_after = c.failing_after;
    disk.claimed_extra_size = c.claimed_extra_size;
    disk.mapped = c.mapped;
    disk.map_cut = c.map_cut;
    const RunResult result = ConvertFile(disk, "in.qfx", "out.qif");
    EXPECT_EQ(result.error ? result.error->Message() : "", c.message);
    EXPECT_EQ(disk.files.size(), 2u) << "a temporary file was left";
    EXPECT_EQ(disk.files.at("out.qif").content,
              result.error ? kOldRegister : testing_support::kHeader + records);
    EXPECT_EQ(disk.log.back(), result.error ? "close input" : "replace");
  }
}

}  // namespace
}  // namespace ledgerlift
