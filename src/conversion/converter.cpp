#include "conversion/converter.h"

#include <bit>
#include <cstring>

#include "conversion/byte_classes.h"

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

// The bits of a chunk's marks from `from` on (none when `from` lies past the
// chunk, after a key that ran into the next one).
std::uint64_t From(const char* chunk, const char* from) {
  if (from <= chunk) return ~std::uint64_t{0};
  return from - chunk < 64 ? ~std::uint64_t{0} << (from - chunk) : 0;
}

// The field a tag from kType on captures.
Field FieldOf(Tag tag) {
  constexpr Field kFields[] = {Field::kType, Field::kDate, Field::kAmount, Field::kName,
                               Field::kMemo};
  return kFields[static_cast<int>(tag) - static_cast<int>(Tag::kType)];
}

}  // namespace

Converter::Converter(ByteSink& sink) : output_(sink), step_(output_) {
  output_.Append("!Type:Bank\r\n");
}

void Converter::Feed(std::string_view block) {
  const char* p = block.data();
  const char* const end = p + block.size();
  while (p != end) {
    // A key is matched in place when the block holds enough bytes after it;
    // otherwise it is gathered byte by byte, across blocks if need be.
    if (state_ == State::kKey &&
        (key_size_ != 0 || static_cast<size_t>(end - p) < kTagLookahead)) {
      p = ReadKeyByteByByte(p, end);
    } else {
      p = Scan(p, end);
    }
  }
  step_.KeepValues();  // the caller may reuse the block
}

void Converter::Finish() {
  if (state_ == State::kValue && !carried_value_.empty()) {
    EndValue(carried_value_.data(), carried_value_.data());
  }
  state_ = State::kSkip;
  step_.InputEnd();
  output_.Flush();
}

// Reads from `p` to the end of the block, stopping only at segment starts
// ("<" and line ends). A key holds neither, so the next stop never depends
// on the key just read, and the processor can read ahead; a value ends at
// the next stop or at the first ">" after its key. Returns early where a key
// stands too near the block's end to be matched in place.
const char* Converter::Scan(const char* p, const char* end) {
  State state = state_;
  if (state == State::kKey) {  // a segment began at `p`, and its key is in reach
    const TagMatch match = MatchTag(p);
    p += match.size;
    state = OnTag(match.tag);
  }
  const char* value = p;  // where the value being read began, in kValue
  for (const char* chunk = p; chunk < end; chunk += 64) {
    const size_t left = static_cast<size_t>(end - chunk);
    const Marks marks = left >= 64 ? MarkBytes(chunk) : MarkLastBytes(chunk, left);
    std::uint64_t starts = marks.starts;
    if (state == State::kValue) {  // a value from before this chunk
      const std::uint64_t stops = starts | (marks.ends & From(chunk, value));
      if (stops == 0) continue;  // it runs on
      const char* const stop = chunk + std::countr_zero(stops);
      EndValue(value, stop);
      state = State::kSkip;
    }
    while (starts != 0) {
      const char* const mark = chunk + std::countr_zero(starts);
      starts &= starts - 1;
      StartSegment(*mark);
      const char* const key = mark + 1;
      if (static_cast<size_t>(end - key) < kTagLookahead) {
        state_ = State::kKey;
        return key;
      }
      const TagMatch match = MatchTag(key);
      if (OnTag(match.tag) == State::kSkip) continue;
      value = key + match.size;
      const std::uint64_t stops = starts | (marks.ends & From(chunk, value));
      if (stops == 0) {  // no stop after it here: the value runs on
        state = State::kValue;
        break;
      }
      EndValue(value, chunk + std::countr_zero(stops));
    }
  }
  if (state == State::kValue) carried_value_.append(value, end);
  state_ = state;
  return end;
}

const char* Converter::ReadKeyByteByByte(const char* p, const char* end) {
  for (; p != end; ++p) {
    if (IsSegmentStart(*p)) {  // a segment without ">": the next one begins
      ClearKey();
      StartSegment(*p);
      return p + 1;  // still in State::kKey
    }
    if (key_size_ == sizeof key_ - 1) {  // longer than any key of ours
      ClearKey();
      state_ = OnTag(Tag::kNone);
      return p;
    }
    key_[key_size_++] = *p;
    if (*p == '>') {
      const TagMatch match = MatchTag(key_);
      const Tag tag = match.size == key_size_ ? match.tag : Tag::kNone;
      ClearKey();
      state_ = OnTag(tag);
      return p + 1;
    }
  }
  return end;
}

// Acts on a segment's key. The rest of the segment is its value when the key
// is a field of an open transaction, and skipped otherwise.
Converter::State Converter::OnTag(Tag tag) {
  // Tested in the order of how often they come; a switch here costs a jump
  // the processor can rarely foresee.
  if (tag >= Tag::kType) {
    if (!step_.capturing()) return State::kSkip;
    field_ = FieldOf(tag);
    return State::kValue;
  }
  if (tag == Tag::kTransaction) {
    step_.Begin(at_line_start_);
  } else if (tag != Tag::kNone) {
    step_.End();
  }
  return State::kSkip;
}

// A value ends at `end`: it is [begin, end) of this block, after what an
// earlier block carried; an empty one captures nothing.
void Converter::EndValue(const char* begin, const char* end) {
  if (carried_value_.empty()) {
    if (begin != end) step_.Capture(field_, std::string_view(begin, end - begin));
    return;
  }
  carried_value_.append(begin, end);
  step_.Capture(field_, carried_value_);
  step_.KeepValues();  // before the carried value's room is reused
  carried_value_.clear();
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

std::string ConvertText(std::string_view input, std::uint64_t* failed_count) {
  std::string out;
  StringSink sink(out);
  Converter converter(sink);
  converter.Feed(input);
  converter.Finish();
  if (failed_count) *failed_count = converter.failed_count();
  return out;
}

}  // namespace ledgerlift
