#include "statement/converter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace ledgerlift {
namespace {

using Field = TransactionStep::Field;

class StringSink : public ByteSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  void Write(std::string_view bytes) override { out_.append(bytes); }

 private:
  std::string& out_;
};

bool IsSegmentStart(char c) { return c == '<' || c == '\r' || c == '\n'; }

// The field a tag from kType on captures.
// (A table of the program's: one built on the stack at each call costs the
// scan a few instructions at nearly every stop.)
constexpr Field kFieldOfTag[] = {Field::kType, Field::kDate, Field::kAmount, Field::kName,
                                 Field::kMemo};
Field FieldOf(Tag tag) {
  return kFieldOfTag[static_cast<int>(tag) - static_cast<int>(Tag::kType)];
}

// A register held in memory, read back like a file.
class TextInput : public ByteSource {
 public:
  explicit TextInput(std::string_view text) : text_(text) {}
  size_t Read(char* buffer, size_t size) override {
    const size_t got = text_.copy(buffer, size);
    text_.remove_prefix(got);
    return got;
  }

 private:
  std::string_view text_;
};

}  // namespace

Converter::Converter(ByteSink& sink, TextEncoding encoding)
    : output_(sink), step_(output_, encoding), encoding_(encoding) {
  output_.Append("!Type:Bank\r\n");
}

void Converter::Feed(std::string_view block, const SegmentStarts* starts) {
  block_ = block.data();
  piece_at_ = nullptr;
  step_.ReadingBlock(block);
  // The starts in a comment or CDATA section begun in an earlier block are
  // no starts, and the text that opens a line may be a value: the list,
  // which cannot know, is not used in this block.
  // An investment statement's keys are not listed: from its first one on,
  // no list is used.
  listed_ = investing_ || state_ == State::kComment || state_ == State::kCdata ||
                    state_ == State::kNextLine
                ? nullptr
                : starts;
  next_listed_ = 0;
  const char* p = block.data();
  const char* const end = p + block.size();
  while (p != end) {
    if (state_ == State::kKey) {
      // A key is matched in place when the block holds enough bytes after
      // it; otherwise it is gathered byte by byte, across blocks if need be.
      p = key_size_ != 0 || static_cast<size_t>(end - p) < kTagLookahead
              ? ReadKeyByteByByte(p, end)
              : ReadKeyInPlace(p);
    } else if (state_ == State::kComment || state_ == State::kCdata) {
      p = ReadMarkup(p, end);
    } else if (state_ == State::kNextLine) {
      p = ReadNextLine(p, end);
    } else if (listed_ != nullptr) {
      p = ScanListed(p, end);
    } else if (investing_) {
      p = Scan<true>(p, end);
    } else {
      p = Scan<false>(p, end);
    }
  }
  step_.KeepValues();  // the caller may reuse the block
  step_.ReadingBlock({});
  read_before_ += block.size();
}

void Converter::Finish() {
  ended_in_markup_ = state_ == State::kComment || state_ == State::kCdata;
  if (state_ == State::kCdata && value_held_) carried_value_.append(closer_run_, ']');
  if (state_ == State::kValue || value_held_) EndCarriedValue();
  if (state_ == State::kNextLine) {  // the input ends in the next line's text
    EndCarriedValue();
    step_.LineEnd();
  }
  state_ = State::kSkip;
  step_.InputEnd();
  if (investment_) investment_->InputEnd();
  output_.Flush();
}

// Reads from `p` to the end of the block, stopping only at segment starts
// ("<" and line ends). A key holds neither, so the next stop never depends
// on the key just read, and the processor can read ahead; a value ends at
// the next stop, unless that "<" opens a comment or CDATA section. Returns
// early where a key stands too near the block's end to be matched in place,
// where a comment or CDATA section begins, and after the file's first
// investment statement or security list tag (kInvesting: from there on the
// keys are looked up in both tables).
template <bool kInvesting>
const char* Converter::Scan(const char* p, const char* end) {
  step_.ForgetText();  // the values it captures are of unknown text
  State state = state_;
  const char* value = p;  // where the value being read began, in kValue
  // The chunks of 64 bytes are counted from the block's start; the bytes
  // before `p` in the first are read already.
  const size_t offset = static_cast<size_t>(p - block_);
  std::uint64_t read_already = (std::uint64_t{1} << (offset % 64)) - 1;
  for (const char* chunk = p - offset % 64; chunk < end; chunk += 64, read_already = 0) {
    const Marks& marks = MarksOf(chunk, end);
    // A segment that begins with a start, a blank or a byte no key of ours
    // begins with holds no tag: it changes nothing but that a line ended,
    // and ends a value being read. Such starts are passed over, the line
    // ends among them kept for the stop after them (the chunk's last start
    // is always a stop).
    const std::uint64_t starts = marks.starts & ~read_already;
    std::uint64_t tagless = starts & ((starts | marks.no_key) >> 1);
    std::uint64_t stops = (starts & ~tagless) | std::bit_floor(starts);
    while (stops != 0) {
      const int at = std::countr_zero(stops);
      stops &= stops - 1;
      const char* const mark = chunk + at;
      if (tagless != 0) {
        // (The stop itself is tagless only as the chunk's last start.)
        const std::uint64_t passed = tagless & ((std::uint64_t{1} << at) - 1);
        tagless ^= passed;
        if (passed != 0) {
          if (state == State::kValue) {
            const char* const value_end = chunk + std::countr_zero(passed);
            if (EndValue<kInvesting>(value, value_end)) return ToNextLine(value_end);
          }
          if (marks.line_ends & passed) step_.LineEnd();
          state = State::kSkip;
        }
      }
      const char* const key = mark + 1;
      if (static_cast<size_t>(end - key) < kTagLookahead) {
        if (state == State::kValue) {
          if (*mark == '<') {  // it may yet open a comment or CDATA section
            carried_value_.append(value, mark);
            value_held_ = true;
          } else if (EndValue<kInvesting>(value, mark)) {
            return ToNextLine(mark);
          }
        }
        StartSegment(*mark);
        state_ = State::kKey;
        return key;
      }
      if (*key == '!' && *mark == '<') {
        const Markup markup = MarkupOf(std::string_view(key, kCdataOpener.size()));
        if (markup != Markup::kNone) {
          if (state == State::kValue) {  // the value goes on after it
            carried_value_.append(value, mark);
            value_held_ = true;
          }
          return BeginMarkup(markup,
                             key + (markup == Markup::kComment ? kCommentOpener.size()
                                                               : kCdataOpener.size()));
        }
      }
      if (state == State::kValue && EndValue<kInvesting>(value, mark)) {
        return ToNextLine(mark);
      }
      StartSegment(*mark);
      if constexpr (kInvesting) {
        const KeyRead read = OnKeyInvesting(key, key);
        state = read.state;
        value = key + read.size;
      } else {
        const TagMatch match = MatchTag(key);
        // Most keys are no tag of ours (FITID, a closing tag): no call for them.
        state = match.tag == Tag::kNone ? State::kSkip : OnTag(match.tag, key);
        value = key + match.size;
        if (state == State::kInvesting) return Invested(value);
      }
    }
  }
  if (state == State::kValue) carried_value_.append(value, end);
  state_ = state;
  return end;
}

// The marks of the chunk at `chunk`, one of the block's chunks of 64 bytes
// (the last perhaps shorter, up to `end`): marked a piece at a time, with the
// widest instructions the processor has.
const Marks& Converter::MarksOf(const char* chunk, const char* end) {
  std::size_t index =
      static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(chunk) -
                               reinterpret_cast<std::uintptr_t>(piece_at_)) /
      64;
  if (piece_at_ == nullptr || index >= kPieceChunks) {
    MarkPiece(chunk, static_cast<std::size_t>(end - chunk), piece_, false);
    piece_at_ = chunk;
    index = 0;
  }
  return piece_[index];
}

// Reads from `p` as Scan does, by the starts listed for the block. Returns
// `end`, or where Scan goes on when the list stops short of the block's end.
const char* Converter::ScanListed(const char* p, const char* end) {
  const SegmentStarts& list = *listed_;
  const size_t from = static_cast<size_t>(p - block_);
  const SegmentStarts::Start* next = list.starts + next_listed_;
  const SegmentStarts::Start* const last = list.starts + list.count;
  if (from > list.listed_until) {  // a key read byte by byte ended past the list
    listed_ = nullptr;
    return p;
  }
  // Past the starts read already. Where `p` follows a key read byte by byte,
  // the next listed start may have folded in the start of that key and
  // others before `p`: they had no tag, so the value is skipped and a line
  // end among them has ended its line already, which acting on it once more
  // does not change.
  while (next != last && SegmentStarts::ValueBegin(*next) <= from) ++next;
  State state = state_;
  const char* value = p;  // where the value being read began, in kValue
  for (; next != last; ++next) {
    const SegmentStarts::Start start = *next;
    // What the second thread saw of the value this start ends.
    step_.NoteListed(start.value_begin_and_tag);
    if (state == State::kValue) {
      const char* const value_end = block_ + start.value_end;
      if (EndValue<false>(value, value_end, Text::kNoted)) return ToNextLine(value_end);
    }
    at_line_start_ = (start.value_begin_and_tag & SegmentStarts::kAtLineStart) != 0;
    if (start.value_begin_and_tag & SegmentStarts::kLineEnded) step_.LineEnd();
    const Tag tag = SegmentStarts::TagOf(start);
    value = block_ + SegmentStarts::ValueBegin(start);
    state = tag == Tag::kNone ? State::kSkip : OnTag(tag, value, true);
    if (state == State::kInvesting) return Invested(value);
  }
  next_listed_ = list.count;
  state_ = state;
  if (list.listed_until == static_cast<size_t>(end - block_)) {
    if (state == State::kValue) carried_value_.append(value, end);
    return end;
  }
  listed_ = nullptr;  // the start the list stopped at, and the rest, are Scan's
  return value;
}

// A segment began at `p` and its key is in reach: reads the key, or the
// opener of a comment or CDATA section in its place.
const char* Converter::ReadKeyInPlace(const char* p) {
  if (!at_line_start_ && *p == '!') {
    const Markup markup = MarkupOf(std::string_view(p, kCdataOpener.size()));
    if (markup == Markup::kComment) return BeginMarkup(markup, p + kCommentOpener.size());
    if (markup == Markup::kCdata) return BeginMarkup(markup, p + kCdataOpener.size());
  }
  if (value_held_) EndCarriedValue();
  if (investing_) {
    const KeyRead read = OnKeyInvesting(p, p);
    state_ = read.state;
    return p + read.size;
  }
  const TagMatch match = MatchTag(p);
  state_ = Settled(OnTag(match.tag, p));
  return p + match.size;
}

const char* Converter::ReadKeyByteByByte(const char* p, const char* end) {
  for (; p != end; ++p) {
    const char byte = *p;
    if (IsSegmentStart(byte) || key_size_ == sizeof key_ - 1) {
      if (value_held_) EndCarriedValue();
      ClearKey();
      if (IsSegmentStart(byte)) {  // a segment without ">": the next one begins
        StartSegment(byte);
        return p + 1;  // still in State::kKey
      }
      state_ = OnTag(Tag::kNone, p);  // longer than any key of ours
      return p;
    }
    key_[key_size_++] = byte;
    if (!at_line_start_) {
      const Markup markup = MarkupOf(std::string_view(key_, key_size_));
      if (markup == Markup::kPartial) continue;
      if (markup != Markup::kNone) {
        ClearKey();
        return BeginMarkup(markup, p + 1);
      }
    }
    if (value_held_) EndCarriedValue();
    if (byte == '>') {
      if (investing_) {  // the key's only ">" ends it: a match ends there too
        state_ = OnKeyInvesting(key_, p).state;
        ClearKey();
        return p + 1;
      }
      const TagMatch match = MatchTag(key_);
      const Tag tag = match.size == key_size_ ? match.tag : Tag::kNone;
      ClearKey();
      state_ = Settled(OnTag(tag, p));
      return p + 1;
    }
  }
  return end;
}

const char* Converter::BeginMarkup(Markup markup, const char* after_opener) {
  state_ = markup == Markup::kComment ? State::kComment : State::kCdata;
  listed_ = nullptr;  // starts in a comment or CDATA section are no starts
  closer_run_ = 0;
  after_cr_ = false;
  return after_opener;
}

// Reads a comment or CDATA section up to its closer, "-->" or "]]>", and
// returns where the segment it stands in goes on: the held value, or the
// rest of a segment being skipped. The text of a CDATA section in a value
// joins the value.
const char* Converter::ReadMarkup(const char* p, const char* end) {
  const char closer = state_ == State::kComment ? '-' : ']';
  const bool text = state_ == State::kCdata && value_held_;
  while (p != end) {
    if (closer_run_ == 0 && !text) {  // nothing to keep: on to the next candidate
      p = static_cast<const char*>(std::memchr(p, closer, static_cast<size_t>(end - p)));
      if (p == nullptr) return end;
    }
    const char byte = *p++;
    if (byte == closer) {
      if (closer_run_ < 2) {
        ++closer_run_;
      } else if (text) {
        AppendText(closer);  // "]]]": the first is text
      }
      continue;
    }
    if (byte == '>' && closer_run_ == 2) {
      closer_run_ = 0;
      state_ = value_held_ ? State::kValue : State::kSkip;
      value_held_ = false;
      return p;
    }
    if (text) {
      for (; closer_run_ > 0; --closer_run_) AppendText(closer);
      AppendText(byte);
    }
    closer_run_ = 0;
  }
  return end;
}

// CDATA text joins the held value; a QIF line holds no line end, so each
// one (CR LF, LF or CR) becomes one blank. A "&" in it is no reference.
void Converter::AppendText(char byte) {
  if (byte == '\n' && after_cr_) {
    after_cr_ = false;
    return;
  }
  after_cr_ = byte == '\r';
  AppendCdataByte(byte == '\r' || byte == '\n' ? ' ' : byte, carried_value_);
}

// Acts on a segment's key. The rest of the segment is its value when the key
// is a field of an open transaction, and skipped otherwise.
[[gnu::always_inline]] inline Converter::State Converter::OnTag(Tag tag, const char* at,
                                                                bool listed) {
  // Tested in the order of how often they come; a switch here costs a jump
  // the processor can rarely foresee.
  if (tag >= Tag::kType) {
    if (!step_.capturing()) return State::kSkip;
    field_ = FieldOf(tag);
    return State::kValue;
  }
  if (tag == Tag::kTransaction) {
    step_.Begin(at_line_start_, read_before_ + static_cast<std::uint64_t>(at - block_),
                listed);
  } else if (tag != Tag::kNone) {
    if (tag > Tag::kListEnd) return OnRareTag(tag);
    step_.End();  // </STMTTRN>, </BANKTRANLIST> or </INVBANKTRAN>
  }
  return State::kSkip;
}

Converter::State Converter::OnTagOutOfLine(Tag tag, const char* at) {
  return Settled(OnTag(tag, at));
}

// The tags a statement holds once or a few times.
Converter::State Converter::OnRareTag(Tag tag) {
  switch (tag) {
    case Tag::kStatement:
    case Tag::kCardStatement:
      // (The investment step first: a trade still open belongs to the
      // statement before.)
      if (investment_) investment_->BeginStatement(false);
      step_.BeginStatement(tag == Tag::kCardStatement);
      break;
    case Tag::kInvestmentStatement:
    case Tag::kSecurityList:
      return BeginInvesting(tag);
    case Tag::kPayee:
    case Tag::kPayeeEnd:
      step_.Payee(tag == Tag::kPayee);
      break;
    case Tag::kAccountId:
      if (step_.capturing()) break;  // a transfer's other account
      field_ = Field::kAccount;
      return State::kValue;
    default:
      break;
  }
  return State::kSkip;
}

// A value ends at `end`: it is [begin, end) of this block, after what an
// earlier block (or the text before a comment or CDATA section) carried; one
// that is empty or blanks only captures nothing. True when such a value ends
// at a line end: the text that opens the next line is its value then.
template <bool kInvesting>
[[gnu::always_inline]] inline bool Converter::EndValue(const char* begin, const char* end,
                                                       Text text) {
  // Nearly every value is whole in this block and begins and ends with
  // neither a blank nor a control byte.
  if (carried_value_.empty() & (begin != end) &&
      (static_cast<unsigned char>(*begin) > ' ') &
          (static_cast<unsigned char>(end[-1]) > ' ')) {
    Capture<kInvesting>(std::string_view(begin, end - begin), text);
    return false;
  }
  return EndOtherValue(begin, end);
}

// Hands a value to the step it belongs to: the investment step's, once an
// investment statement has begun and the tag was one of its own.
template <bool kInvesting>
[[gnu::always_inline]] inline void Converter::Capture(std::string_view value, Text text) {
  if constexpr (kInvesting) {
    if (value_to_investment_) return investment_->Capture(value);
  }
  step_.Capture(field_, value, text);
}

bool Converter::EndOtherValue(const char* begin, const char* end) {
  carried_value_.append(begin, end);
  if (*end != '<' && IsBlankValue(carried_value_)) {
    carried_value_.clear();
    return true;
  }
  CaptureCarriedValue();
  return false;
}

// Captures the carried value without the blanks around it; one of blanks
// only is none.
void Converter::CaptureCarriedValue() {
  const std::string_view value = WithoutBlanks(carried_value_);
  if (!value.empty()) {
    if (investing_) {
      Capture<true>(value, Text::kUnknown);
    } else {
      Capture<false>(value, Text::kUnknown);
    }
    step_.KeepValues();  // before the carried value's room is reused
  }
  carried_value_.clear();
}

// A field's value is blank at `line_end`: the text that opens the next line
// is its value. The line's end is acted on once that text is read, so that a
// transaction whole on its line is whole with it.
const char* Converter::ToNextLine(const char* line_end) {
  carried_value_.clear();
  value_held_ = false;
  after_line_end_cr_ = *line_end == '\r';
  listed_ = nullptr;  // the list read that text as a segment of its own
  state_ = State::kNextLine;
  return line_end + 1;
}

// Reads the text that opens the line, up to its first "<" or line end, and
// captures it when it is not blank; what stops it begins a segment as usual.
const char* Converter::ReadNextLine(const char* p, const char* end) {
  if (after_line_end_cr_) {
    after_line_end_cr_ = false;
    if (*p == '\n') return p + 1;  // CR LF: one line end
  }
  const char* stop = p;
  while (stop != end && !IsSegmentStart(*stop)) ++stop;
  carried_value_.append(p, stop);
  if (stop == end) return end;  // the text goes on in the next block
  EndCarriedValue();            // nothing when blank
  step_.LineEnd();              // of the line the field stood on
  StartSegment(*stop);
  state_ = State::kKey;
  return stop + 1;
}

// The held value ends where it was held: at a "<" that opened nothing, or
// at the input's end.
void Converter::EndCarriedValue() {
  value_held_ = false;
  CaptureCarriedValue();
}

// `stop` is "<" or a line end: a segment begins after it, with its key.
void Converter::StartSegment(char stop) {
  at_line_start_ = stop != '<';
  if (at_line_start_) step_.LineEnd();
}

void Converter::ClearKey() {
  std::memset(key_, 0, sizeof key_);
  key_size_ = 0;
}

std::vector<FailedTransaction> Converter::failed() const {
  std::vector<FailedTransaction> failed = step_.failed();
  if (investment_) {
    failed.insert(failed.end(), investment_->failed().begin(),
                  investment_->failed().end());
    std::stable_sort(failed.begin(), failed.end(),
                     [](const auto& a, const auto& b) { return a.offset < b.offset; });
    if (failed.size() > kFailedKept) failed.resize(kFailedKept);
  }
  return failed;
}

bool Converter::WriteInBlocks(ByteSource& plain, ByteSink& out) const {
  return ledgerlift::WriteInBlocks(step_.accounts().blocks(), output_size(), plain, out,
                                   investment_ ? &investment_->securities() : nullptr);
}

std::string InAccountBlocks(const Converter& converter, std::string written) {
  if (!converter.in_blocks()) return written;
  TextInput plain(written);
  std::string out;
  StringSink sink(out);
  converter.WriteInBlocks(plain, sink);
  return out;
}

std::string ConvertText(std::string_view input, std::uint64_t* failed_count,
                        TextEncoding encoding) {
  std::string out;
  StringSink sink(out);
  Converter converter(sink, encoding);
  converter.Feed(input);
  converter.Finish();
  if (failed_count) *failed_count = converter.failed_count();
  return InAccountBlocks(converter, std::move(out));
}

}  // namespace ledgerlift
