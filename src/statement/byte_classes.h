#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define LEDGERLIFT_HAS_AVX2_MARKING 1
#endif

namespace ledgerlift {

// The bytes where a statement's reading can change: "<", CR and LF, where a
// segment begins (a tag, or a line). The converter looks at 64 bytes at a
// time and gets one bit for each of them, so it stops only where something
// may happen and reuses the bits for every stop in those 64 bytes. The line
// ends, and the bytes no key of ours begins with, let it pass at once over
// the starts whose segment can hold no tag (CR LF, a line end and the
// indentation and "<" after it). With SSE2 (every x86-64 processor) 16
// bytes are compared at once; elsewhere 8, with the same result.
struct Marks {
  std::uint64_t starts = 0;     // bit i: byte i is "<", CR or LF
  std::uint64_t line_ends = 0;  // bit i: byte i is CR or LF
  // bit i: byte i is a blank, a control character or not ASCII (0x00-0x20
  // or 0x80-0xFF), which begins no key of ours
  std::uint64_t no_key = 0;
  // bit i: byte i or byte 32 + i is "&" or not ASCII (0x80-0xFF), which a
  // value's text in the register may be written otherwise for (ValueText).
  // Only whether the chunk holds one is asked, so the halves are folded:
  // that costs one instruction fewer for each 16 or 32 bytes marked.
  std::uint32_t text = 0;
  bool operator==(const Marks&) const = default;
};

// Adds the marks of some of the 64 bytes, found as bits from bit 0 on, to
// `marks` from bit `shift` on.
inline void AddMarks(Marks& marks, std::uint64_t starts, std::uint64_t line_ends,
                     std::uint64_t no_key, int shift) {
  marks.starts |= starts << shift;
  marks.line_ends |= line_ends << shift;
  marks.no_key |= no_key << shift;
}

// Marks::text of a chunk whose text bytes are the bits of `text` (byte i,
// bit i).
inline std::uint32_t FoldedText(std::uint64_t text) {
  return static_cast<std::uint32_t>(text | text >> 32);
}

// The marks of 64 bytes at p.
inline Marks MarkBytesPortable(const char* p) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  // High bit of each byte of `word` that equals `byte`, and of no other.
  const auto equal = [](std::uint64_t word, unsigned char byte) {
    const std::uint64_t x = word ^ (kOnes * byte);
    return ~(((x & kLow7) + kLow7) | x | kLow7);
  };
  // High bit of each byte of `word` that is below 0x21 or above 0x7F: the
  // low seven bits plus 0x5F reach the high bit from 0x21 on, never beyond.
  const auto no_key = [](std::uint64_t word) {
    return (~((word & kLow7) + kOnes * 0x5F) | word) & ~kLow7;
  };
  // Gathers the eight high bits into one byte, byte i to bit i.
  const auto gather = [](std::uint64_t high_bits) {
    return ((high_bits >> 7) * 0x0102040810204080ull) >> 56;
  };
  Marks marks;
  std::uint64_t text = 0;
  for (int word_index = 0; word_index < 8; ++word_index) {
    const char* bytes = p + 8 * word_index;
    std::uint64_t word = 0;
    for (int i = 0; i < 8; ++i) {  // byte i of memory becomes byte i of the word
      word |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
    }
    const std::uint64_t line_ends = equal(word, '\r') | equal(word, '\n');
    AddMarks(marks, gather(line_ends | equal(word, '<')), gather(line_ends),
             gather(no_key(word)), 8 * word_index);
    text |= gather(equal(word, '&') | (word & ~kLow7)) << (8 * word_index);
  }
  marks.text = FoldedText(text);
  return marks;
}

// `kText`: the text marks too (Marks::text), which only the second thread's
// lists use; the converter's own scan leaves them out.
#if defined(__SSE2__)
template <bool kText = true>
inline Marks MarkBytesSse2(const char* p) {
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i first_key_byte = _mm_set1_epi8(0x21);  // signed: 0x80-0xFF below it
  const __m128i amp = _mm_set1_epi8('&');
  Marks marks;
  __m128i text[2] = {_mm_setzero_si128(), _mm_setzero_si128()};  // bytes i, 32 + i
  for (int part = 0; part < 4; ++part) {
    const __m128i bytes =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
    const __m128i line_ends =
        _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf));
    const auto bits = [](__m128i found) {
      return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(found))};
    };
    AddMarks(marks, bits(_mm_or_si128(line_ends, _mm_cmpeq_epi8(bytes, lt))),
             bits(line_ends), bits(_mm_cmplt_epi8(bytes, first_key_byte)), 16 * part);
    if (kText) {
      text[part % 2] =
          _mm_or_si128(text[part % 2], _mm_or_si128(_mm_cmpeq_epi8(bytes, amp), bytes));
    }
  }
  if (kText) {
    marks.text = static_cast<std::uint32_t>(
        static_cast<std::uint16_t>(_mm_movemask_epi8(text[0])) |
        static_cast<std::uint16_t>(_mm_movemask_epi8(text[1])) << 16);
  }
  return marks;
}
#endif

#if defined(LEDGERLIFT_HAS_AVX2_MARKING)
// The same with AVX2, 32 bytes at once, for processors that have it
// (`HasAvx2`): the second thread marks every byte of a large statement.
template <bool kText = true>
[[gnu::target("avx2")]] inline Marks MarkBytesAvx2(const char* p) {
  const __m256i lt = _mm256_set1_epi8('<');
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i first_key_byte = _mm256_set1_epi8(0x21);  // signed: 0x80-0xFF below it
  const __m256i amp = _mm256_set1_epi8('&');
  Marks marks;
  __m256i text = _mm256_setzero_si256();
  for (int part = 0; part < 2; ++part) {
    const __m256i bytes =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * part));
    const __m256i line_ends =
        _mm256_or_si256(_mm256_cmpeq_epi8(bytes, cr), _mm256_cmpeq_epi8(bytes, lf));
    const __m256i starts = _mm256_or_si256(line_ends, _mm256_cmpeq_epi8(bytes, lt));
    const __m256i no_key = _mm256_cmpgt_epi8(first_key_byte, bytes);
    AddMarks(marks, static_cast<std::uint32_t>(_mm256_movemask_epi8(starts)),
             static_cast<std::uint32_t>(_mm256_movemask_epi8(line_ends)),
             static_cast<std::uint32_t>(_mm256_movemask_epi8(no_key)), 32 * part);
    if (kText) {
      text = _mm256_or_si256(text, _mm256_or_si256(_mm256_cmpeq_epi8(bytes, amp), bytes));
    }
  }
  if (kText) marks.text = static_cast<std::uint32_t>(_mm256_movemask_epi8(text));
  return marks;
}

inline bool HasAvx2() { return __builtin_cpu_supports("avx2"); }
#endif

template <bool kText = true>
inline Marks MarkBytes(const char* p) {
#if defined(__SSE2__)
  return MarkBytesSse2<kText>(p);
#else
  return MarkBytesPortable(p);
#endif
}

// The "&"s, where a character reference may begin, and, with `high_bytes`,
// the bytes from 0x80 among the `size` (at most 32) bytes at `p`, as bits
// (byte i, bit i). The 32 bytes from `p` are read.
inline std::uint32_t ValueTextBytes32(const char* p, std::size_t size, bool high_bytes) {
  const std::uint32_t within = static_cast<std::uint32_t>((std::uint64_t{1} << size) - 1);
#if defined(__SSE2__)
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i high = _mm_set1_epi8(high_bytes ? static_cast<char>(0x80) : 0);
  const auto found = [&](const char* at) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, amp), _mm_and_si128(bytes, high))));
  };
  return (found(p) | found(p + 16) << 16) & within;
#else
  std::uint32_t bits = 0;
  for (std::size_t at = 0; at < size; ++at) {
    const auto byte = static_cast<unsigned char>(p[at]);
    bits |= static_cast<std::uint32_t>(byte == '&' || (high_bytes && byte >= 0x80)) << at;
  }
  return bits & within;
#endif
}

// Whether one of the `size` bytes at `p` is "&", where a character reference
// may begin, or, with `high_bytes`, from 0x80. The bytes up to 16 past them
// are read too: a record written with room to spare is looked at as it lies.
inline bool HoldsValueTextBytes(const char* p, std::size_t size, bool high_bytes) {
#if defined(__SSE2__)
  // 16 bytes of ones, then 16 of zeros: 16 bytes from `16 - n` keep n.
  alignas(16) static constexpr char kFirst[32] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                  -1, -1, -1, -1, -1, -1, -1, -1};
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i high = _mm_set1_epi8(high_bytes ? static_cast<char>(0x80) : 0);
  const auto special = [&](std::size_t at) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    return _mm_or_si128(_mm_cmpeq_epi8(bytes, amp), _mm_and_si128(bytes, high));
  };
  __m128i found = _mm_setzero_si128();
  std::size_t at = 0;
  for (; at + 16 <= size; at += 16) found = _mm_or_si128(found, special(at));
  if (at < size) {
    const __m128i within =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirst + 16 - (size - at)));
    found = _mm_or_si128(found, _mm_and_si128(special(at), within));
  }
  return _mm_movemask_epi8(found) != 0;
#else
  for (std::size_t at = 0; at < size; ++at) {
    const auto byte = static_cast<unsigned char>(p[at]);
    if (byte == '&' || (high_bytes && byte >= 0x80)) return true;
  }
  return false;
#endif
}

// The same for the `size` < 64 bytes left at the end of a block: the bytes
// after them are no marks.
inline Marks MarkLastBytes(const char* p, std::size_t size) {
  char padded[64] = {};
  std::memcpy(padded, p, size);
  Marks marks = MarkBytes(padded);
  marks.no_key &= (std::uint64_t{1} << size) - 1;  // the padding's zeros
  return marks;
}

// Statements are marked in pieces of this many chunks of 64 bytes, which
// stay in the processor's nearest cache until they are read.
inline constexpr std::size_t kPieceChunks = 64;

// The marks of the chunks from `p` on, as many as `size` bytes fill (the
// last one short when they end in it), at most kPieceChunks, into `marks`:
// with AVX2 where the processor has it, with MarkBytes otherwise.
// `text`: with the text marks (Marks::text), or without them (zero).
void MarkPiece(const char* p, std::size_t size, Marks* marks, bool text);

}  // namespace ledgerlift
