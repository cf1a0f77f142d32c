#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "statement/byte_classes.h"
#include "statement/investment_step.h"
#include "statement/output_buffer.h"
#include "statement/segment_starts.h"
#include "statement/tags.h"
#include "statement/transaction.h"

namespace ledgerlift {

// How much of a statement a caller best reads at once: blocks this size stay
// in the processor's cache while they are converted.
inline constexpr std::size_t kReadBlockSize = 256 << 10;

// Converts a QFX statement, fed in blocks of any size, into a QIF bank
// register; investment statements into investment records (InvestmentStep),
// read from their first <INVSTMTRS> or <SECLIST> on, the rest of the file
// with the keys of investment_tags.h too, without the lists of segment
// starts. The statement is read as tags: a segment begins after each "<"
// and at each line start (lines end at CR, LF or CR LF); its key runs to its
// first ">", its value from there to the next "<" or line end (a ">" in it
// is kept). A field whose value is empty, or blanks only, at its line's end
// takes the text that opens the next line, up to its first "<" or its end,
// when that text is not blank (a bank that writes each value on the line
// after its tag): a line that opens with "<" gives nothing. A comment, "<!--" to "-->",
// is skipped as if it were not there, line ends and all; a CDATA section, "<![CDATA[" to
// "]]>", is text of the value it stands in, "<", ">" and "&" included, each line end in
// it one blank. Either inside a key makes it no tag. Lines are never assembled: the scan
// stops only at "<" and line ends, found 64 bytes at a time, and only the
// values of a transaction's fields are copied, so memory stays small for
// any layout and grows only with the longest value.
class Converter {
 public:
  // Writes the "!Type:Bank" header first. `encoding` is that of the
  // register's text (ValueText).
  explicit Converter(ByteSink& sink, TextEncoding encoding = TextEncoding::kUtf8);

  // `starts`, when given, are the block's own (ListSegmentStarts), listed
  // beforehand; otherwise the converter finds them as it reads the bytes.
  void Feed(std::string_view block, const SegmentStarts* starts = nullptr);

  // Ends the input: ends its last line and transaction and hands the rest
  // of the output to the sink.
  void Finish();

  std::uint64_t failed_count() const {
    return step_.failed_count() + (investment_ ? investment_->failed_count() : 0);
  }
  // The first of them, where they begin in the input and what they lack,
  // in the order of where they begin.
  std::vector<FailedTransaction> failed() const;
  std::uint64_t record_count() const {
    return step_.record_count() + (investment_ ? investment_->record_count() : 0);
  }

  // Whether the input ended inside a comment or CDATA section, which a
  // whole statement never does.
  bool ended_in_markup() const { return ended_in_markup_; }

  // The statements the input held, and where their records lie in the
  // output.
  const AccountBlocks& accounts() const { return step_.accounts(); }

  // The bytes handed to the sink, once finished.
  std::uint64_t output_size() const { return output_.Position(); }

  // Whether the register, once finished, is written again in blocks
  // (AccountBlocks::InBlocks), and that rewrite: from `plain`, what was
  // handed to the sink, into `out`. False when `plain` is cut short.
  bool in_blocks() const { return step_.accounts().InBlocks(); }
  bool WriteInBlocks(ByteSource& plain, ByteSink& out) const;

 private:
  enum class State : std::uint8_t {
    kKey,      // in a segment's key, before its ">"
    kValue,    // in the value of a field being captured
    kSkip,     // in the rest of a segment that matters no more
    kComment,  // in a comment
    kCdata,    // in a CDATA section
    // In the text that opens the line after a field whose value was empty
    // at its line's end: that text is the value.
    kNextLine,
    // What a tag gives when the file turns out to hold an investment
    // statement or a security list: the scan stops there, and the rest is
    // read with the investment keys too (as kSkip).
    kInvesting,
  };
  struct KeyRead {
    State state;
    std::size_t size;  // the key and its ">", or 0
  };

  template <bool kInvesting>
  const char* Scan(const char* p, const char* end);
  const char* ScanListed(const char* p, const char* end);
  const char* ReadKeyInPlace(const char* p);
  const char* ReadKeyByteByByte(const char* p, const char* end);
  const char* ReadMarkup(const char* p, const char* end);
  const char* BeginMarkup(Markup markup, const char* after_opener);
  // `at`: where in the block the tag stands (just after it).
  State OnTag(Tag tag, const char* at, bool listed = false);
  State OnRareTag(Tag tag);
  State OnTagOutOfLine(Tag tag, const char* at);  // for converter_investing.cpp
  static State Settled(State state) {
    return state == State::kInvesting ? State::kSkip : state;
  }
  const char* Invested(const char* value) {
    state_ = State::kSkip;
    return value;
  }
  // In converter_investing.cpp: what investment statements add. `at`: where
  // in the block the key's tag stands.
  State BeginInvesting(Tag tag);
  KeyRead OnKeyInvesting(const char* key, const char* at);
  State OnInvestmentTag(InvestmentTag tag, const char* at);
  using Text = TransactionStep::Text;
  template <bool kInvesting>
  bool EndValue(const char* begin, const char* end, Text text = Text::kScanned);
  bool EndOtherValue(const char* begin, const char* end);
  void CaptureCarriedValue();
  template <bool kInvesting>
  void Capture(std::string_view value, Text text);
  const char* ToNextLine(const char* line_end);
  const char* ReadNextLine(const char* p, const char* end);
  void EndCarriedValue();
  void AppendText(char byte);
  void StartSegment(char stop);
  void ClearKey();
  const Marks& MarksOf(const char* chunk, const char* end);

  OutputBuffer output_;
  TransactionStep step_;
  const char* block_ = nullptr;    // the block being fed, read in chunks of 64 from here
  std::uint64_t read_before_ = 0;  // the bytes of the blocks before it
  const SegmentStarts* listed_ = nullptr;  // its starts, while they are read
  // The marks of a piece of the block, from `piece_at_` on: a scan that
  // stopped early and goes on in the same piece reuses them.
  Marks piece_[kPieceChunks];
  const char* piece_at_ = nullptr;
  std::size_t next_listed_ = 0;  // the first of them not yet read
  State state_ = State::kKey;
  bool at_line_start_ = true;  // the current segment began a line
  TransactionStep::Field field_ = TransactionStep::Field::kType;  // in kValue

  // A key begun near the end of a block, with zeros after it so that it can
  // be matched like a key in place.
  char key_[kTagLookahead] = {};
  std::size_t key_size_ = 0;

  std::string carried_value_;  // a value begun in an earlier block, or in pieces
  // The value being captured is held in `carried_value_` while a "<" after
  // it may yet open a comment or CDATA section, and while one is read.
  bool value_held_ = false;
  int closer_run_ = 0;     // of "-" or "]" just read in a comment or CDATA section
  bool after_cr_ = false;  // CDATA text: a CR just became a blank
  bool ended_in_markup_ = false;
  // In State::kNextLine: whether a LF that comes next ends the line with
  // the CR before it.
  bool after_line_end_cr_ = false;

  const TextEncoding encoding_;
  bool investing_ = false;  // from the file's first investment statement or security list
  std::unique_ptr<InvestmentStep> investment_;  // made then
  bool value_to_investment_ = false;  // in kValue: the value is the investment step's
};

// The register a file run writes, from what `converter` wrote, held whole
// in `written`: the same, or one block per account when the records came
// from several statements.
std::string InAccountBlocks(const Converter& converter, std::string written);

// The whole conversion of an input held in memory, for callers and tests that
// have it at hand. `failed_count` receives the count of failed transactions.
std::string ConvertText(std::string_view input, std::uint64_t* failed_count,
                        TextEncoding encoding = TextEncoding::kUtf8);

}  // namespace ledgerlift
