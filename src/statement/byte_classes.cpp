#include "statement/byte_classes.h"

#include <algorithm>

namespace ledgerlift {
namespace {

using MarkChunks = void (*)(const char* p, std::size_t chunks, Marks* marks);

template <bool kText>
void MarkChunksSimd(const char* p, std::size_t chunks, Marks* marks) {
  for (std::size_t i = 0; i < chunks; ++i) marks[i] = MarkBytes<kText>(p + 64 * i);
}

#if defined(LEDGERLIFT_HAS_AVX2_MARKING)
template <bool kText>
[[gnu::target("avx2")]] void MarkChunksAvx2(const char* p, std::size_t chunks,
                                            Marks* marks) {
  for (std::size_t i = 0; i < chunks; ++i) marks[i] = MarkBytesAvx2<kText>(p + 64 * i);
}
#endif

template <bool kText>
MarkChunks ChooseMarking() {
#if defined(LEDGERLIFT_HAS_AVX2_MARKING)
  if (HasAvx2()) return MarkChunksAvx2<kText>;
#endif
  return MarkChunksSimd<kText>;
}

}  // namespace

void MarkPiece(const char* p, std::size_t size, Marks* marks, bool text) {
  static const MarkChunks with_text = ChooseMarking<true>();
  static const MarkChunks without_text = ChooseMarking<false>();
  const std::size_t whole = std::min(size / 64, kPieceChunks);
  (text ? with_text : without_text)(p, whole, marks);
  if (whole < kPieceChunks && size % 64 != 0) {
    marks[whole] = MarkLastBytes(p + 64 * whole, size % 64);
  }
}

}  // namespace ledgerlift
