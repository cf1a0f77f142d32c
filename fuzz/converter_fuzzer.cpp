// Feeds arbitrary bytes to the converter as a statement and checks what must
// hold for every input: the register's shape, that every transaction tag
// ends as a record or a failed count, that the way the input is cut into
// blocks changes nothing, and that values are copied from the input as they
// stand.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/converter.h"

namespace {

constexpr std::string_view kHeader = "!Type:Bank\r\n";

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

void Check(bool holds, const char* what) {
  if (!holds) Fail(what);
}

class StringSink : public ledgerlift::ByteSink {
 public:
  void Write(std::string_view bytes) override { text.append(bytes); }
  std::string text;
};

// The input's lines, ended by CR LF, LF or a lone CR; written as a plain
// byte loop so that it shares nothing with the converter's block scanning.
std::vector<std::string_view> Lines(std::string_view input) {
  std::vector<std::string_view> lines;
  size_t begin = 0;
  for (size_t i = 0; i < input.size(); ++i) {
    if (input[i] != '\r' && input[i] != '\n') continue;
    lines.push_back(input.substr(begin, i - begin));
    if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n') ++i;
    begin = i + 1;
  }
  if (begin < input.size()) lines.push_back(input.substr(begin));
  return lines;
}

// Transaction tags on a line: every "<STMTTRN>", and a line that begins with
// "STMTTRN>" (the text before a line's first "<" is read as a tag as well).
std::uint64_t TransactionTags(std::string_view line) {
  constexpr std::string_view kTag = "<STMTTRN>";
  if (line.find(kTag) == std::string_view::npos) return 0;
  std::uint64_t count = line.substr(0, kTag.size() - 1) == kTag.substr(1) ? 1 : 0;
  for (size_t at = line.find(kTag); at != std::string_view::npos;
       at = line.find(kTag, at + kTag.size())) {
    ++count;
  }
  return count;
}

// Whether `key` ">" `value` stands in the input as a whole tag: after a "<"
// or at a line's start, and followed by "<", ">", a line end or the end.
bool IsTagInInput(std::string_view input, std::string_view key,
                  std::string_view value) {
  const std::string tag = std::string(key) + ">" + std::string(value);
  for (size_t at = input.find(tag); at != std::string_view::npos;
       at = input.find(tag, at + 1)) {
    const bool starts = at == 0 || input[at - 1] == '<' || input[at - 1] == '\r' ||
                        input[at - 1] == '\n';
    const size_t after = at + tag.size();
    const bool ends = after == input.size() || input[after] == '<' ||
                      input[after] == '>' || input[after] == '\r' ||
                      input[after] == '\n';
    if (starts && ends) return true;
  }
  return false;
}

// A date line's value: month "-" day "-" year, each a slice of a signed
// numeral (digits and ".") that may be cut short.
bool IsDateShape(std::string_view date) {
  const size_t first = date.find('-');
  const size_t second = date.find('-', first + 1);
  if (first > 2 || second == std::string_view::npos || second - first - 1 > 2 ||
      date.size() - second - 1 > 4) {
    return false;
  }
  for (size_t i = 0; i < date.size(); ++i) {
    if (i == first || i == second) continue;
    if (!((date[i] >= '0' && date[i] <= '9') || date[i] == '.')) return false;
  }
  return true;
}

// Checks the register after its header; returns the number of records.
std::uint64_t CheckRecords(std::string_view input, std::string_view records) {
  std::vector<std::string_view> lines;
  while (!records.empty()) {
    const size_t end = records.find("\r\n");
    Check(end != std::string_view::npos, "every output line ends in CR LF");
    lines.push_back(records.substr(0, end));
    records.remove_prefix(end + 2);
  }
  Check(lines.size() % 5 == 0, "the register is a whole number of records");
  for (size_t i = 0; i < lines.size(); i += 5) {
    Check(lines[i].substr(0, 1) == "D" && IsDateShape(lines[i].substr(1)),
          "a record starts with its date");
    Check(lines[i + 1].substr(0, 1) == "P" &&
              IsTagInInput(input, "NAME", lines[i + 1].substr(1)),
          "the P line is a NAME value of the input");
    Check(lines[i + 2].substr(0, 1) == "T" &&
              IsTagInInput(input, "TRNAMT", lines[i + 2].substr(1)),
          "the T line is a TRNAMT value of the input");
    Check(lines[i + 3].substr(0, 1) == "M" &&
              IsTagInInput(input, "TRNTYPE", lines[i + 3].substr(1)),
          "the M line is a TRNTYPE value of the input");
    Check(lines[i + 4] == "^", "a record ends with ^");
    for (int field = 1; field <= 3; ++field) {
      Check(lines[i + field].size() > 1, "a record has no empty value");
    }
  }
  return lines.size() / 5;
}

// The input fed in blocks of sizes drawn from a generator seeded by the
// input, with empty blocks and a size hint that may be wrong.
std::string ConvertInBlocks(std::string_view input, std::uint64_t* failed) {
  std::uint32_t seed = 2166136261u;
  for (unsigned char c : input) seed = (seed ^ c) * 16777619u;
  std::minstd_rand random(seed | 1);
  StringSink sink;
  ledgerlift::Converter converter(sink);
  if (random() % 2) converter.ExpectInputSize(input.size() + random() % 3 - 1);
  while (!input.empty()) {
    const size_t limits[] = {1, 2, 3, 16, 4096};
    const size_t size = std::min<size_t>(input.size(), random() % (limits[random() % 5] + 1));
    converter.Feed(input.substr(0, size));
    input.remove_prefix(size);
  }
  converter.Feed({});
  converter.Finish();
  *failed = converter.failed_count();
  return sink.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::uint64_t failed = 0;
  const std::string whole = ledgerlift::ConvertText(input, &failed);
  Check(whole.substr(0, kHeader.size()) == kHeader, "the register starts with its header");
  const std::uint64_t records = CheckRecords(input, std::string_view(whole).substr(kHeader.size()));

  std::uint64_t tags = 0;
  for (std::string_view line : Lines(input)) tags += TransactionTags(line);
  Check(records + failed == tags, "every transaction tag gives a record or a failed count");

  std::uint64_t failed_in_blocks = 0;
  Check(ConvertInBlocks(input, &failed_in_blocks) == whole,
        "blocks of any size give the same register");
  Check(failed_in_blocks == failed, "blocks of any size give the same failed count");
  return 0;
}
