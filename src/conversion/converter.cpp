#include "conversion/converter.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace ledgerlift {
namespace {

class StringSink : public ByteSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  void Write(std::string_view bytes) override { out_.append(bytes); }

 private:
  std::string& out_;
};

}  // namespace

Converter::Converter(ByteSink& sink) : output_(sink), step_(output_) {
  output_.Append("!Type:Bank\r\n");
}

void Converter::Feed(std::string_view block) {
  unread_ -= std::min<std::uint64_t>(unread_, block.size());
  size_t pos = 0;
  if (skip_lf_ && !block.empty()) {
    if (block[0] == '\n') pos = 1;
    skip_lf_ = false;
  }
  next_lf_ = std::string_view::npos;
  while (pos < block.size()) {
    const size_t end = FindLineEnd(block, pos);
    if (end == std::string_view::npos) {
      KeepPartialLine(block.substr(pos));
      return;
    }
    const std::string_view piece = block.substr(pos, end - pos);
    if (partial_line_.empty()) {
      step_.ProcessLine(piece);
    } else {
      partial_line_.append(piece);
      step_.ProcessLine(partial_line_);
      partial_line_.clear();
    }
    pos = end + 1;
    if (block[end] == '\r') {
      if (pos == block.size()) skip_lf_ = true;
      else if (block[pos] == '\n') ++pos;
    }
  }
}

void Converter::Finish() {
  if (!partial_line_.empty()) {
    step_.ProcessLine(partial_line_);
    partial_line_.clear();
  }
  output_.Flush();
}

// A line cannot be longer than what is left of the input, so when that is
// known the line's buffer is reserved once; its pages are only touched as the
// line arrives, and the line is never held twice while it grows.
void Converter::KeepPartialLine(std::string_view piece) {
  const size_t needed = partial_line_.size() + piece.size();
  if (needed > partial_line_.capacity() && unread_ > 0) {
    try {
      partial_line_.reserve(needed + unread_);
    } catch (const std::exception&) {
      // Room for the rest of a huge or sparse file may not be had at once;
      // the line then grows as it arrives, as when the size is unknown.
    }
  }
  partial_line_.append(piece);
}

// The first CR or LF at or after `from`, or npos. The block's next LF is
// remembered, so a file whose lines end in lone CRs is not rescanned for LF
// at every line.
size_t Converter::FindLineEnd(std::string_view block, size_t from) {
  if (next_lf_ == std::string_view::npos || next_lf_ < from) {
    const void* lf = std::memchr(block.data() + from, '\n', block.size() - from);
    next_lf_ = lf ? static_cast<const char*>(lf) - block.data() : block.size();
  }
  const void* cr = std::memchr(block.data() + from, '\r', next_lf_ - from);
  if (cr) return static_cast<const char*>(cr) - block.data();
  return next_lf_ < block.size() ? next_lf_ : std::string_view::npos;
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
