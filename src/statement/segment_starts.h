#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "statement/tags.h"

namespace ledgerlift {

// The segment starts of a block ("<", CR and LF) and the tags their keys
// are, listed by the second thread of a large statement before the
// converter reads the block. Finding the starts and matching the keys does
// not depend on what came before; acting on them does. So the converter's
// thread only walks the list and acts, and the two threads share the work.
//
// Only the starts whose key is a tag of ours are listed, each with the
// starts since the one listed before it folded in: a start without a tag
// ends a value being read, ends a line if it is a line end, and leaves
// nothing to read until the next start, so a run of them acts as its first
// start plus one line end if any was one. Starts after the last tag are
// listed as one start without a tag.
struct SegmentStarts {
  struct Start {
    // Where a value being read ends: the first start folded in.
    std::uint32_t value_end;
    // Where the value of its tag begins (after the key and its ">"; the
    // block's end for the starts after the last tag), the tag, whether a
    // line ended since the start listed before, and whether it is a line
    // end itself.
    std::uint32_t value_begin_and_tag;
  };
  static constexpr int kTagShift = 20;
  static constexpr std::uint32_t kOffsetMask = (std::uint32_t{1} << kTagShift) - 1;
  static constexpr std::uint32_t kLineEnded = std::uint32_t{1} << 24;
  static constexpr std::uint32_t kAtLineStart = std::uint32_t{1} << 25;
  // The value of the tag listed before, which this start ends, may hold a
  // byte its text in the register is written otherwise for (a "&", a byte
  // from 0x80: Marks::text); without this bit it holds none.
  static constexpr std::uint32_t kValueText = std::uint32_t{1} << 26;
  static constexpr std::size_t kLargestBlock = kOffsetMask;

  static std::size_t ValueBegin(const Start& start) {
    return start.value_begin_and_tag & kOffsetMask;
  }
  static_assert(static_cast<int>(Tag::kMemo) <= 15, "a tag is listed in four bits");
  static Tag TagOf(const Start& start) {
    return static_cast<Tag>((start.value_begin_and_tag >> kTagShift) & 15);
  }

  const Start* starts = nullptr;
  std::size_t count = 0;
  // Every start before this offset is listed; the converter reads the rest
  // of the block itself. The list stops at a start whose key is too near the
  // block's end to be matched in place, at a "<!" (which may open a comment
  // or CDATA section, whose starts are no starts), and when it is full.
  std::size_t listed_until = 0;
};

// Lists the segment starts of `block`, `size` bytes at most
// `SegmentStarts::kLargestBlock`, into `room`, which has place for
// `capacity`. When `cut_short` is given and becomes true (the converter
// waits for the block), the list stops at the next 4 KiB and the converter
// reads the rest itself: it then has work at once, and the two threads
// share the work by how fast each is on the machine of the moment.
SegmentStarts ListSegmentStarts(const char* block, std::size_t size,
                                SegmentStarts::Start* room, std::size_t capacity,
                                const std::atomic<bool>* cut_short = nullptr);

}  // namespace ledgerlift
