#include "statement/byte_classes.h"

#include <algorithm>

namespace ledgerlift {
namespace {

using MarkChunks = void (*)(const char* p, std::size_t chunks, Marks* marks);

void MarkChunksSimd(const char* p, std::size_t chunks, Marks* marks) {
  for (std::size_t i = 0; i < chunks; ++i) marks[i] = MarkBytes(p + 64 * i);
}

#if defined(LEDGERLIFT_HAS_AVX2_MARKING)
[[gnu::target("avx2")]] void MarkChunksAvx2(const char* p, std::size_t chunks,
                                            Marks* marks) {
  for (std::size_t i = 0; i < chunks; ++i) marks[i] = MarkBytesAvx2(p + 64 * i);
}
#endif

MarkChunks ChooseMarking() {
#if defined(LEDGERLIFT_HAS_AVX2_MARKING)
  if (HasAvx2()) return MarkChunksAvx2;
#endif
  return MarkChunksSimd;
}

}  // namespace

void MarkPiece(const char* p, std::size_t size, Marks* marks) {
  static const MarkChunks mark_chunks = ChooseMarking();
  const std::size_t whole = std::min(size / 64, kPieceChunks);
  mark_chunks(p, whole, marks);
  if (whole < kPieceChunks && size % 64 != 0) {
    marks[whole] = MarkLastBytes(p + 64 * whole, size % 64);
  }
}

}  // namespace ledgerlift
