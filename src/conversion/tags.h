#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ledgerlift {

// The tags a statement is converted by. Any other key, a closing tag of a
// value included, is no tag here: its segment is skipped.
enum class Tag : std::uint8_t {
  kNone,
  kTransaction,     // STMTTRN
  kTransactionEnd,  // /STMTTRN
  kListEnd,         // /BANKTRANLIST or /INVBANKTRAN
  kType,            // TRNTYPE
  kDate,            // DTPOSTED
  kAmount,          // TRNAMT
  kName,            // NAME
  kMemo,            // MEMO
};

struct TagMatch {
  Tag tag = Tag::kNone;
  std::uint8_t size = 0;  // the key and its ">"
};

// The bytes `MatchTag` may read: the longest key, "/BANKTRANLIST>", fits.
inline constexpr std::size_t kTagLookahead = 16;

namespace tag_words {

// The first `size` bytes of `text` as they lie in memory, read as a word.
constexpr std::uint64_t Word(const char* text, std::size_t size) {
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t byte = static_cast<unsigned char>(text[i]);
    word |= std::endian::native == std::endian::little ? byte << (8 * i)
                                                       : byte << (56 - 8 * i);
  }
  return word;
}

// Keeps the first `size` bytes of a word read from memory.
constexpr std::uint64_t Prefix(std::size_t size) {
  const std::uint64_t ones = size == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * size)) - 1;
  return std::endian::native == std::endian::little ? ones : ones << (64 - 8 * size);
}

inline std::uint64_t Load(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

}  // namespace tag_words

// Tells which tag a segment's key is: `p` points just after the "<" (or at
// the start of a line) and has kTagLookahead bytes readable. A key counts
// only when its ">" follows right after it, so "NAMES>" is no NAME. Each key
// is told apart by one or two word compares, not by comparing strings.
inline TagMatch MatchTag(const char* p) {
  using tag_words::Load;
  using tag_words::Prefix;
  using tag_words::Word;
  const std::uint64_t word = Load(p);
  switch (p[0]) {
    case 'S':
      if (word == Word("STMTTRN>", 8)) return {Tag::kTransaction, 8};
      break;
    case 'T':
      if (word == Word("TRNTYPE>", 8)) return {Tag::kType, 8};
      if ((word & Prefix(7)) == Word("TRNAMT>", 7)) return {Tag::kAmount, 7};
      break;
    case 'D':
      if (word == Word("DTPOSTED", 8) && p[8] == '>') return {Tag::kDate, 9};
      break;
    case 'N':
      if ((word & Prefix(5)) == Word("NAME>", 5)) return {Tag::kName, 5};
      break;
    case 'M':
      if ((word & Prefix(5)) == Word("MEMO>", 5)) return {Tag::kMemo, 5};
      break;
    case '/':
      if (word == Word("/STMTTRN", 8) && p[8] == '>') return {Tag::kTransactionEnd, 9};
      if (word == Word("/BANKTRA", 8) &&
          (Load(p + 8) & Prefix(6)) == Word("NLIST>", 6)) {
        return {Tag::kListEnd, 14};
      }
      if (word == Word("/INVBANK", 8) &&
          (Load(p + 8) & Prefix(5)) == Word("TRAN>", 5)) {
        return {Tag::kListEnd, 13};
      }
      break;
    default:
      break;
  }
  return {};
}

}  // namespace ledgerlift
