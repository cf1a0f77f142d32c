#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/output_buffer.h"
#include "conversion/transaction.h"

namespace ledgerlift {

// Converts a QFX statement, fed in blocks of any size, into a QIF bank
// register. Lines end at CR LF, LF or a lone CR, also when a CR LF pair is
// split between two blocks. Memory is bounded by the longest line: a line
// that runs past the end of a block is kept until its end arrives.
class Converter {
 public:
  // Writes the "!Type:Bank" header first.
  explicit Converter(ByteSink& sink);

  // The size of the whole input, when known: a line that spans blocks then
  // grows in place instead of being copied as it grows.
  void ExpectInputSize(std::uint64_t size) { unread_ = size; }

  void Feed(std::string_view block);

  // Ends the input: converts the last line if it had no line end and hands
  // the rest of the output to the sink.
  void Finish();

  std::uint64_t failed_count() const { return step_.failed_count(); }

 private:
  void KeepPartialLine(std::string_view piece);
  size_t FindLineEnd(std::string_view block, size_t from);

  OutputBuffer output_;
  TransactionStep step_;
  std::string partial_line_;   // a line begun in an earlier block
  std::uint64_t unread_ = 0;   // input not fed yet, when the size is known
  bool skip_lf_ = false;       // the last block ended in CR: drop a leading LF
  size_t next_lf_ = 0;         // where the block's next LF stands, or its end
};

// The whole conversion of an input held in memory, for callers and tests that
// have it at hand. `failed_count` receives the count of failed transactions.
std::string ConvertText(std::string_view input, std::uint64_t* failed_count);

}  // namespace ledgerlift
