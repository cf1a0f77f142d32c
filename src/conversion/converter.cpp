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
    EndCarriedValue(carried_value_.data(), carried_value_.data());
  }
  state_ = State::kSkip;
  step_.InputEnd();
  output_.Flush();
}

// Reads from `p` to the end of the block, stopping only at marked bytes:
// at segment starts, and at ">" too while in a value. Returns early where a
// key stands too near the block's end to be matched in place.
const char* Converter::Scan(const char* p, const char* end) {
  State state = state_;
  if (state == State::kKey) {  // a segment began at `p`, and its key is in reach
    const TagMatch match = MatchTag(p);
    p += match.size;
    state = OnTag(match.tag);
  }
  const char* value = p;  // where the value being read began, in kValue
  // The block is marked 64 bytes at a time, each byte once; `p` is where the
  // reading stands, perhaps a few bytes into the next chunk after a key.
  for (const char* chunk = p; chunk < end; chunk += 64) {
    const size_t left = static_cast<size_t>(end - chunk);
    const Marks marks = left >= 64 ? MarkBytes(chunk) : MarkLastBytes(chunk, left);
    const std::uint64_t unread = ~std::uint64_t{0} << (p > chunk ? p - chunk : 0);
    std::uint64_t starts = marks.starts & unread, ends = marks.ends & unread;
    for (;;) {
      const std::uint64_t stops = state == State::kValue ? starts | ends : starts;
      if (stops == 0) break;
      const int at = std::countr_zero(stops);
      const char* const mark = chunk + at;
      if (state == State::kValue) {
        if (!carried_value_.empty()) {
          EndCarriedValue(value, mark);
        } else if (mark != value) {
          step_.Capture(field_, std::string_view(value, mark - value));
        }
        if (*mark == '>') {
          state = State::kSkip;
          const std::uint64_t after = ~std::uint64_t{1} << at;  // at < 63 or none is left
          starts &= after;
          ends &= after;
          continue;
        }
      }
      StartSegment(*mark);
      const char* key = mark + 1;
      if (*mark == '\r' && key != end && *key == '\n') ++key;  // CR LF ends one line
      if (static_cast<size_t>(end - key) < kTagLookahead) {
        state_ = State::kKey;
        return key;
      }
      const TagMatch match = MatchTag(key);
      state = OnTag(match.tag);
      p = value = key + match.size;
      const size_t offset = static_cast<size_t>(p - chunk);
      if (offset >= 64) break;  // the key ran into the next chunk
      starts &= ~std::uint64_t{0} << offset;
      ends &= ~std::uint64_t{0} << offset;
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

// A value begun in an earlier block ends with [begin, end) of this one.
void Converter::EndCarriedValue(const char* begin, const char* end) {
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
