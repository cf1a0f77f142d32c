#include "statement/segment_starts.h"

#include <bit>

#include "statement/byte_classes.h"

namespace ledgerlift {
namespace {

SegmentStarts::Start Listed(std::size_t value_end, std::size_t value_begin, Tag tag,
                            bool line_ended, bool at_line_start,
                            std::uint32_t value_text) {
  return {static_cast<std::uint32_t>(value_end),
          static_cast<std::uint32_t>(value_begin) |
              static_cast<std::uint32_t>(tag) << SegmentStarts::kTagShift |
              (line_ended ? SegmentStarts::kLineEnded : 0) |
              (at_line_start ? SegmentStarts::kAtLineStart : 0) | value_text};
}

}  // namespace

SegmentStarts ListSegmentStarts(const char* block, std::size_t size,
                                SegmentStarts::Start* room, std::size_t capacity,
                                const std::atomic<bool>* cut_short) {
  SegmentStarts list{room, 0, size};
  // The first of the starts since the one listed last, and whether one of
  // them was a line end: they are folded into the next one listed.
  std::size_t run_first = size;  // none yet
  bool run_line_ended = false;
  // Whether a value may hold a text byte (Marks::text) is told by whole
  // chunks: a start gets SegmentStarts::kValueText when one of the chunks
  // from the one its value began in to its own holds one. That flags a
  // little more often than a value does (the converter looks at the record
  // then), for two moves per start.
  std::uint32_t chunk_text = 0;        // kValueText if this chunk holds one
  std::uint32_t text_since_value = 0;  // kValueText if one of those chunks does
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
    chunk_text = marks.text != 0 ? SegmentStarts::kValueText : 0;
    text_since_value |= chunk_text;
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
      room[list.count++] = Listed(value_end, at + 1 + match.size, match.tag,
                                  run_line_ended || line_end, line_end, text_since_value);
      text_since_value = chunk_text;
      run_first = size;
      run_line_ended = false;
    }
  }
  if (run_first != size) {
    if (list.count == capacity) return stop_listing(size);
    room[list.count++] =
        Listed(run_first, size, Tag::kNone, run_line_ended, false, text_since_value);
  }
  return list;
}

}  // namespace ledgerlift
