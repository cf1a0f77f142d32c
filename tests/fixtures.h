// What the tests (and the converter's fuzzer) share: one realistic
// transaction and what it converts to, a sink that keeps what it is given,
// the bank and investment records and account headers of a register,
// conversion in blocks of chosen sizes, and files read and written whole.
// No test framework here, so that the fuzzer can use it too.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "statement/converter.h"

namespace ledgerlift::testing_support {

// A card payment at a shop, one transaction on one line (no line end).
inline constexpr const char* kShopLine =
    "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<FITID>77"
    "<NAME>CORNER SHOP<MEMO>CARD 55</STMTTRN>";
// The record kShopLine gives, and the header every register starts with.
inline constexpr const char* kShopRecord =
    "D03-02-2011\r\nPCORNER SHOP\r\nT-12.50\r\nMDEBIT\r\n^\r\n";
inline constexpr const char* kHeader = "!Type:Bank\r\n";
// The whole register of a statement holding only kShopLine.
inline const std::string kShopRegister = std::string(kHeader) + kShopRecord;

// One QIF record: date, payee, amount, type, each line ended by CR LF.
// Built by appending: GCC 12 warns wrongly about "D" + std::string(...).
inline std::string Record(std::string_view date, std::string_view payee,
                          std::string_view amount, std::string_view type) {
  std::string record = "D";
  for (std::string_view piece :
       {date, std::string_view("\r\nP"), payee, std::string_view("\r\nT"), amount,
        std::string_view("\r\nM"), type, std::string_view("\r\n^\r\n")}) {
    record += piece;
  }
  return record;
}

// One QIF investment record: date, action, then `lines` as they stand
// ("YACME CORP", "Q100", "T1500.00", ...), each line ended by CR LF.
inline std::string Trade(std::string_view date, std::string_view action,
                         std::initializer_list<std::string_view> lines) {
  std::string record = "D";
  record.append(date).append("\r\nN").append(action).append("\r\n");
  for (std::string_view line : lines) record.append(line).append("\r\n");
  return record + "^\r\n";
}

// What begins an account's block in a register of several accounts, or of
// an investment account; `type` is "Bank", "CCard" or "Invst".
inline std::string AccountHeader(std::string_view account, std::string_view type) {
  std::string header = "!Account\r\nN";
  for (std::string_view piece :
       {account, std::string_view("\r\nT"), type, std::string_view("\r\n^\r\n!Type:"),
        type, std::string_view("\r\n")}) {
    header += piece;
  }
  return header;
}

class StringSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override { out.append(bytes); }
  std::string out;
};

// A register and the count of transactions that could not be read.
struct Converted {
  std::string out;
  std::uint64_t failed = 0;
  bool operator==(const Converted&) const = default;
};

// Feeds `input` to the converter in blocks whose sizes cycle through `sizes`,
// every other block with its segment starts listed beforehand, as a second
// thread lists them: in room for all, in room for a few, or cut short before
// the first because the converter waits (the converter finds the rest).
inline Converted InBlocks(std::string_view input, const std::vector<size_t>& sizes,
                          TextEncoding encoding = TextEncoding::kUtf8) {
  StringSink sink;
  Converter converter(sink, encoding);
  std::vector<SegmentStarts::Start> room;
  const std::atomic<bool> converter_waits = true;
  for (size_t at = 0, next = 0; at < input.size(); ++next) {
    const std::string_view block = input.substr(at, sizes[next % sizes.size()]);
    room.resize(next % 4 == 1 ? block.size() : 6);
    const SegmentStarts starts =
        ListSegmentStarts(block.data(), block.size(), room.data(), room.size(),
                          next % 8 == 7 ? &converter_waits : nullptr);
    converter.Feed(block, next % 2 ? &starts : nullptr);
    at += block.size();
  }
  converter.Finish();
  return {InAccountBlocks(converter, std::move(sink.out)), converter.failed_count()};
}

// `count` copies of `text`.
inline std::string Repeat(const std::string& text, size_t count) {
  std::string result;
  result.reserve(text.size() * count);
  for (size_t i = 0; i < count; ++i) result += text;
  return result;
}

inline std::string Read(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

inline void Write(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace ledgerlift::testing_support
