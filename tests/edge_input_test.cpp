// Inputs at the edges that must convert in full on the built program, and
// an input that changes while the program reads it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "program_run.h"

namespace ledgerlift::testing_support {
namespace {

constexpr const char* kPrecious = "an earlier register, kept as it is";

class EdgeInputs : public ProgramRun {};

// Inputs at the edges that convert in full, with the exact register.
struct SuccessCase {
  const char* name;
  std::function<std::string()> input;
  std::function<std::string()> output;  // after the header
  int status;
  std::string message;
};

std::string Transaction(const std::string& name) {
  return "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<NAME>" + name +
         "<MEMO>M";
}
std::string ShopRecord(const std::string& name) {
  return Record("03-02-2011", name, "-12.50", "DEBIT");
}
const std::string kOddName = std::string("CAF\xC9\x00\x80\xFF \x00", 9);
constexpr size_t kHugeLine = 100 << 20;

const SuccessCase kSuccessCases[] = {
    {"a million failed transaction lines",
     [] { return Repeat("<STMTTRN><NAME>X\r\n", 1000000) + kShopLine; },
     [] { return std::string(kShopRecord); }, 1,
     [] {
       std::string message = "Failed to read 1000000 lines of data from QFX file.\n";
       for (int line = 1; line <= 10; ++line) {
         message += "  line " + std::to_string(line) + ": no type, no date, no amount\n";
       }
       return message + "  … and 999990 more\n";
     }()},
    // Bytes that are no UTF-8 are read as Windows-1252, NUL kept.
    {"NUL and bytes above 0x7F in values", [] { return Transaction(kOddName) + "\r\n"; },
     [] {
       return ShopRecord(std::string("CAF\xC3\x89\x00\xE2\x82\xAC\xC3\xBF \x00", 13));
     },
     0, ""},
    {"a 100 MB line", [] { return Transaction(std::string(kHugeLine, 'N')); },
     [] { return ShopRecord(std::string(kHugeLine, 'N')); }, 0, ""},
    {"no line end at all", [] { return std::string(kShopLine); },
     [] { return std::string(kShopRecord); }, 0, ""},
    {"CR-only line ends",
     [] {
       return Repeat(std::string("<OFX>\r") + kShopLine + "\r", 3) +
              "<STMTTRN>\r</OFX>\r";
     },
     [] { return Repeat(kShopRecord, 3); }, 1,
     "Failed to read 1 lines of data from QFX file.\n"
     "  line 7: no type, no date, no amount\n"},
};

TEST_F(EdgeInputs, ConvertInFull) {
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
TEST_F(EdgeInputs, InputRemovedWhileRead) {
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
  // A pipe is not read again to count lines: the place is a byte's.
  EXPECT_EQ(outcome.err,
            "Failed to read 1 lines of data from QFX file.\n"
            "  at byte 107: no type, no date, no amount\n");
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
TEST_F(EdgeInputs, InputShrinkingWhileRead) {
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
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  const Outcome outcome = Wait(pid);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir_))
    left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"stmt.qfx", "stmt.qif"}));
  if (outcome.status == 2) {
    EXPECT_EQ(outcome.err, "Error 3: cannot read input file " + input.string() +
                               ": the file shrank while it was read\n");
    EXPECT_EQ(Read(dir_ / "stmt.qif"), kPrecious);
  } else {
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    const std::string output = Read(dir_ / "stmt.qif");
    EXPECT_EQ(output.size(),
              std::string(kHeader).size() + lines * std::strlen(kShopRecord));
    EXPECT_TRUE(output == kHeader + Repeat(kShopRecord, lines)) << "the register differs";
  }
  std::cout << (cut ? "cut while the program read; status "
                    : "the program read first; status ")
            << outcome.status << "\n";
}

}  // namespace
}  // namespace ledgerlift::testing_support
