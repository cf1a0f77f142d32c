// The streaming conversion gives the same bytes as converting the whole input
// at once, wherever the input's blocks happen to end, and the file run gives
// the same bytes as the in-memory one.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "files/real_file_system.h"
#include "fixtures.h"
#include "run/conversion_run.h"
#include "run/overlapped_disk.h"
#include "statement/converter.h"
#include "statement_generator.h"

namespace ledgerlift {
namespace {

namespace fs = std::filesystem;
using bench::Layout;
using testing_support::Converted;
using testing_support::InBlocks;
using testing_support::Read;
using testing_support::Write;

Converted Whole(std::string_view input) {
  Converted result;
  result.out = ConvertText(input, &result.failed);
  return result;
}

struct Input {
  std::string name;
  std::string text;
};

// Generated statements of every layout and line end, and the inputs the
// other tests and the fuzzer start from.
std::vector<Input> Inputs() {
  std::vector<Input> inputs;
  const std::pair<const char*, std::string_view> line_ends[] = {
      {"crlf", "\r\n"}, {"lf", "\n"}, {"cr", "\r"}};
  for (Layout layout : bench::kEveryLayout) {
    for (const auto& [end_name, end] : line_ends) {
      inputs.push_back(
          {std::string(bench::LayoutName(layout)) + "-" + end_name,
           bench::GenerateStatement(
               {.count = 120, .seed = 3, .layout = layout, .line_end = end})});
    }
  }
  for (const char* folder : {LEDGERLIFT_EXAMPLES, LEDGERLIFT_CONVERTER_CORPUS}) {
    if (!fs::is_directory(folder)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() == ".qfx") {
        inputs.push_back({entry.path().filename().string(), Read(entry.path())});
      }
    }
  }
  return inputs;
}

// Block sizes that end blocks inside CR LF pairs, tags, words of eight bytes
// and long lines, regular and irregular.
const std::vector<std::vector<size_t>> kBlockSizes = {
    {1}, {2}, {3}, {7}, {8}, {9}, {64}, {4096}, {1, 8, 2, 63, 5, 300, 13}};

TEST(Streaming, AnyBlockSizeGivesTheWholeInputsBytes) {
  const std::vector<Input> inputs = Inputs();
  ASSERT_GE(inputs.size(), 10u);
  for (const Input& input : inputs) {
    const Converted whole = Whole(input.text);
    for (const std::vector<size_t>& sizes : kBlockSizes) {
      EXPECT_TRUE(InBlocks(input.text, sizes) == whole)
          << input.name << ", blocks from " << sizes[0];
    }
  }
}

// The same transactions give the same register in every layout and with
// every kind of line end, and each one gives a record.
TEST(Streaming, EveryLayoutGivesTheSameRecords) {
  constexpr std::uint64_t kCount = 500;
  const Converted expected =
      Whole(bench::GenerateStatement({.count = kCount, .seed = 9}));
  EXPECT_EQ(expected.failed, 0u);
  size_t records = 0;
  for (size_t at = 0; (at = expected.out.find("\r\n^\r\n", at)) != std::string::npos;
       ++at) {
    ++records;
  }
  EXPECT_EQ(records, kCount);
  for (Layout layout : bench::kAllLayouts) {
    for (std::string_view end : {"\r\n", "\n", "\r"}) {
      const Converted result = Whole(bench::GenerateStatement(
          {.count = kCount, .seed = 9, .layout = layout, .line_end = end}));
      EXPECT_TRUE(result == expected)
          << bench::LayoutName(layout) << " " << testing::PrintToString(end);
    }
  }
}

TEST(Streaming, GeneratorIsDeterministic) {
  const bench::StatementOptions options{.count = 50, .seed = 4};
  EXPECT_EQ(bench::GenerateStatement(options), bench::GenerateStatement(options));
  EXPECT_NE(bench::GenerateStatement(options),
            bench::GenerateStatement({.count = 50, .seed = 5}));
}

// Tags are found a word of eight bytes at a time: a tag, a value or a line
// end at every position within a word must still be seen.
TEST(FastScan, TagsAtEveryOffsetOfAWord) {
  for (size_t pad = 0; pad < 17; ++pad) {
    for (size_t name_length = 1; name_length < 18; ++name_length) {
      const std::string name(name_length, 'N');
      const std::string line = std::string(pad, ' ') +
                               "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302"
                               "<TRNAMT>-1<NAME>" +
                               name;
      for (const std::string& input :
           {line, line + "<", line + "<!---->", line + "\r\n"}) {
        std::uint64_t failed = 9;
        EXPECT_EQ(ConvertText(input, &failed),
                  "!Type:Bank\r\nD03-02-2011\r\nP" + name + "\r\nT-1\r\nMDEBIT\r\n^\r\n")
            << testing::PrintToString(input);
        EXPECT_EQ(failed, 0u);
      }
    }
  }
}

// A value longer than the output block passes whole, in order.
TEST(FastScan, ValueLongerThanTheOutputBlock) {
  const std::string name(OutputBuffer::kBlock * 2 + 5, 'x');
  const std::string line = "<STMTTRN><TRNTYPE>CREDIT<DTPOSTED>20111231<TRNAMT>5<NAME>";
  std::uint64_t failed = 9;
  EXPECT_EQ(ConvertText(line + name + "\n" + line + "B", &failed),
            "!Type:Bank\r\nD12-31-2011\r\nP" + name + "\r\nT5\r\nMCREDIT\r\n^\r\n" +
                "D12-31-2011\r\nPB\r\nT5\r\nMCREDIT\r\n^\r\n");
  EXPECT_EQ(failed, 0u);
}

// Records that do not divide the output block evenly: the one that does not
// fit goes whole into the next block.
TEST(FastScan, RecordsAcrossOutputBlocks) {
  const std::string line =
      "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<NAME>CORNER SHOP\n";
  const std::string record = "D03-02-2011\r\nPCORNER SHOP\r\nT-12.50\r\nMDEBIT\r\n^\r\n";
  const size_t count = 3 * OutputBuffer::kBlock / record.size();
  std::string input, expected = "!Type:Bank\r\n";
  for (size_t i = 0; i < count; ++i) {
    input += line;
    expected += record;
  }
  std::uint64_t failed = 9;
  EXPECT_TRUE(ConvertText(input, &failed) == expected);
  EXPECT_EQ(failed, 0u);
}

class FileRun : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    do {
      folder_ = fs::temp_directory_path() /
                ("ledgerlift-streaming-" + std::to_string(random()));
    } while (!fs::create_directory(folder_));
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

// Statements larger than the file run's read block, so lines (and in the
// one-line layout the one long line) span reads, and large enough to be
// read in place and written behind on a second thread; an investment
// statement's register is then read back and rewritten with its account
// and its securities' names.
TEST_F(FileRun, FileGivesTheSameBytesAsText) {
  for (Layout layout : bench::kEveryLayout) {
    const std::string text =
        bench::GenerateStatement({.count = 36000, .seed = 11, .layout = layout});
    ASSERT_GT(text.size(), kOverlapFrom);
    const fs::path input = folder_ / "statement.qfx";
    const fs::path output = folder_ / "statement.qif";
    Write(input, text);
    RealFileSystem files;
    const RunResult run = ConvertFile(files, input.string(), output.string());
    ASSERT_FALSE(run.error.has_value()) << run.error->Message();
    const Converted whole = Whole(text);
    EXPECT_TRUE(Read(output) == whole.out) << bench::LayoutName(layout);
    EXPECT_EQ(run.failed_count, whole.failed) << bench::LayoutName(layout);
  }
}

// A statement read in place that another program cuts short meanwhile: the
// pages cut off read as zeros instead of ending the program, and the cut
// is told.
TEST_F(FileRun, MappedStatementCutShortIsToldNotFatal) {
  const fs::path input = folder_ / "statement.qfx";
  Write(input, std::string(1 << 20, 'x'));
  RealFileSystem files;
  const std::unique_ptr<InputFile> statement = files.OpenInput(input.string());
  const std::unique_ptr<OutputFile> output =
      files.OpenOutput((folder_ / "statement.qif").string());
  output->Create(*statement);  // the run's guards are set with its temporary file
  const char* const map = statement->Map();
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map[(1 << 20) - 1], 'x');
  EXPECT_FALSE(statement->MapCut());
  fs::resize_file(input, 4096);
  EXPECT_EQ(map[4095], 'x');
  EXPECT_EQ(map[4096], '\0');
  EXPECT_EQ(map[(1 << 20) - 1], '\0');
  EXPECT_TRUE(statement->MapCut());
}

}  // namespace
}  // namespace ledgerlift
