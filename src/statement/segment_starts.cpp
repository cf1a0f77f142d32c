#include "statement/segment_starts.h"

#include <bit>

#include "statement/byte_classes.h"

namespace ledgerlift {
namespace {

SegmentStarts::Start Listed(std::size_t value_end, std::size_t value_begin, Tag tag,
                            bool line_ended, bool at_line_start, bool value_text,
                            bool value_ends) {
  return {static_cast<std::uint32_t>(value_end),
          static_cast<std::uint32_t>(value_begin) |
              static_cast<std::uint32_t>(tag) << SegmentStarts::kTagShift |
              (line_ended ? SegmentStarts::kLineEnded : 0) |
              (at_line_start ? SegmentStarts::kAtLineStart : 0) |
              (value_text ? SegmentStarts::kValueText : 0) |
              (value_ends ? SegmentStarts::kValueEnds : 0)};
}

constexpr std::size_t kNoByte = ~std::size_t{0};

}  // namespace

SegmentStarts ListSegmentStarts(const char* block, std::size_t size,
                                SegmentStarts::Start* room, std::size_t capacity,
                                const std::atomic<bool>* cut_short) {
  SegmentStarts list{room, 0, size};
  // The first of the starts since the one listed last, and whether one of
  // them was a line end: they are folded into the next one listed.
  std::size_t run_first = size;  // none yet
  bool run_line_ended = false;
  // Where the value of the tag listed last began, and the last text byte
  // (Marks::text) before the chunk being read: whether a value may hold one
  // is told from them, a little more often than it does.
  std::size_t value_begin = 0;
  std::size_t last_text = kNoByte;
  const auto text_since_value_begin = [&](std::uint64_t text_below, std::size_t chunk) {
    const std::size_t last =
        text_below != 0
            ? chunk + 63 - static_cast<std::size_t>(std::countl_zero(text_below))
            : last_text;
    return last != kNoByte && last >= value_begin;
  };
  const auto blank_at_ends = [&](std::size_t value_end) {
    return value_end > value_begin &&
           (static_cast<unsigned char>(block[value_begin]) <= ' ' ||
            static_cast<unsigned char>(block[value_end - 1]) <= ' ');
  };
  const auto stop_listing = [&](std::size_t at) {
    list.listed_until = run_first != size ? run_first : at;
    return list;
  };
  Marks piece_marks[kPieceChunks];
  for (std::size_t chunk = 0; chunk < size; chunk += 64) {
    const std::size_t left = size - chunk;
    const std::size_t in_piece = chunk / 64 % kPieceChunks;
    if (in_piece == 0) {
      if (cut_short != nullptr && cut_short->load(std::memory_order_relaxed)) {
        return stop_listing(chunk);
      }
      MarkPiece(block + chunk, left, piece_marks, true);
    }
    const Marks& marks = piece_marks[in_piece];
    // Only the last chunks can hold a key too near the end.
    const bool near_end = left < 64 + kTagLookahead;
    // As the converter's own scan does, the starts followed by a start or a
    // byte no key begins with are folded in without a look at their key.
    std::uint64_t tagless = marks.starts & ((marks.starts | marks.no_key) >> 1);
    std::uint64_t stops = (marks.starts & ~tagless) | std::bit_floor(marks.starts);
    while (stops != 0) {
      const int bit = std::countr_zero(stops);
      stops &= stops - 1;
      const std::uint64_t passed = tagless & ((std::uint64_t{1} << bit) - 1);
      if (passed != 0) {
        tagless ^= passed;
        if (run_first == size)
          run_first = chunk + static_cast<std::size_t>(std::countr_zero(passed));
        run_line_ended |= (marks.line_ends & passed) != 0;
      }
      const std::size_t at = chunk + static_cast<std::size_t>(bit);
      const char* const key = block + at + 1;
      if (near_end && size - (at + 1) < kTagLookahead) return stop_listing(at);
      const bool line_end = block[at] != '<';
      const TagMatch match = MatchTag(key);
      if (match.tag == Tag::kNone) {
        if (*key == '!' && !line_end) return stop_listing(at);
        if (run_first == size) run_first = at;
        run_line_ended |= line_end;
        continue;
      }
      if (list.count == capacity) return stop_listing(at);
      const std::size_t value_end = run_first != size ? run_first : at;
      room[list.count++] = Listed(
          value_end, at + 1 + match.size, match.tag, run_line_ended || line_end, line_end,
          text_since_value_begin(marks.text & ((std::uint64_t{1} << bit) - 1), chunk),
          blank_at_ends(value_end));
      value_begin = at + 1 + match.size;
      run_first = size;
      run_line_ended = false;
    }
    if (marks.text != 0) {
      last_text = chunk + 63 - static_cast<std::size_t>(std::countl_zero(marks.text));
    }
  }
  if (run_first != size) {
    if (list.count == capacity) return stop_listing(size);
    room[list.count++] =
        Listed(run_first, size, Tag::kNone, run_line_ended, false,
               text_since_value_begin(0, size), blank_at_ends(run_first));
  }
  return list;
}

}  // namespace ledgerlift
