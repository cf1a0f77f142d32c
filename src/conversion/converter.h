#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/output_buffer.h"
#include "conversion/tags.h"
#include "conversion/transaction.h"

namespace ledgerlift {

// How much of a statement a caller best reads at once: blocks this size stay
// in the processor's cache while they are converted.
inline constexpr std::size_t kReadBlockSize = 256 << 10;

// Converts a QFX statement, fed in blocks of any size, into a QIF bank
// register. The statement is read as tags: a segment begins after each "<"
// and at each line start (lines end at CR, LF or CR LF); its key runs to its
// first ">", its value from there to the next "<", ">" or line end. Lines are
// never assembled: the scan stops only at "<", ">" and line ends, found 64
// bytes at a time, and only the values of a transaction's fields are copied,
// so memory stays small for any layout and grows only with the longest
// value.
class Converter {
 public:
  // Writes the "!Type:Bank" header first.
  explicit Converter(ByteSink& sink);

  void Feed(std::string_view block);

  // Ends the input: ends its last line and transaction and hands the rest
  // of the output to the sink.
  void Finish();

  std::uint64_t failed_count() const { return step_.failed_count(); }

 private:
  enum class State : std::uint8_t {
    kKey,    // in a segment's key, before its ">"
    kValue,  // in the value of a field being captured
    kSkip,   // in the rest of a segment that matters no more
  };

  const char* Scan(const char* p, const char* end);
  const char* ReadKeyByteByByte(const char* p, const char* end);
  State OnTag(Tag tag);
  void EndValue(const char* begin, const char* end);
  void StartSegment(char stop);
  void ClearKey();

  OutputBuffer output_;
  TransactionStep step_;
  State state_ = State::kKey;
  bool at_line_start_ = true;  // the current segment began a line
  TransactionStep::Field field_ = TransactionStep::Field::kType;  // in kValue

  // A key begun near the end of a block, with zeros after it so that it can
  // be matched like a key in place.
  char key_[kTagLookahead] = {};
  std::size_t key_size_ = 0;

  std::string carried_value_;  // a value begun in an earlier block
};

// The whole conversion of an input held in memory, for callers and tests that
// have it at hand. `failed_count` receives the count of failed transactions.
std::string ConvertText(std::string_view input, std::uint64_t* failed_count);

}  // namespace ledgerlift
