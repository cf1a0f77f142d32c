#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ledgerlift {

// The tags a statement is converted by. Any other key, a closing tag of a
// value included, is no tag here: its segment is skipped.
enum class Tag : std::uint8_t {
  kNone,
  kTransaction,     // STMTTRN
  kTransactionEnd,  // /STMTTRN
  kListEnd,         // /BANKTRANLIST or /INVBANKTRAN
  kStatement,       // STMTRS: a bank statement
  kCardStatement,   // CCSTMTRS: a credit-card statement
  // INVSTMTRS and SECLIST: an investment statement or a security list, from
  // which on the rest of the file is read with the investment keys too
  // (investment_tags.h).
  kInvestmentStatement,
  kSecurityList,
  kPayee,      // PAYEE: the payee aggregate of a transaction
  kPayeeEnd,   // /PAYEE
  kAccountId,  // ACCTID: a statement's account, outside its transactions
  // The fields of a transaction, from here on.
  kType,    // TRNTYPE
  kDate,    // DTPOSTED
  kAmount,  // TRNAMT
  kName,    // NAME
  kMemo,    // MEMO
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
  const std::uint64_t ones =
      size >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * size)) - 1;
  return std::endian::native == std::endian::little ? ones : ones << (64 - 8 * size);
}

inline std::uint64_t Load(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

// A key's second to fifth bytes pick its place in a table of sixteen (every
// key of ours has five bytes, its ">" included; the first four would not
// tell STMTTRN from STMTRS): the multiplier was chosen so that each of the
// sixteen keys has a place of its own.
constexpr unsigned Place(const char* p) {
  const std::uint32_t bytes =
      static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) |
      static_cast<std::uint32_t>(static_cast<unsigned char>(p[2])) << 8 |
      static_cast<std::uint32_t>(static_cast<unsigned char>(p[3])) << 16 |
      static_cast<std::uint32_t>(static_cast<unsigned char>(p[4])) << 24;
  return (bytes * 2614428u) >> 28;
}

// A key with its ">", as two masked words.
struct Entry {
  std::uint64_t first = 1, first_mask = 0;  // matches nothing until set
  std::uint64_t second = 0, second_mask = 0;
  Tag tag = Tag::kNone;
  std::uint8_t size = 0;
};

constexpr std::array<Entry, 16> MakeTable() {
  struct Key {
    const char* text;
    Tag tag;
  };
  constexpr Key kKeys[] = {{"STMTTRN>", Tag::kTransaction},
                           {"/STMTTRN>", Tag::kTransactionEnd},
                           {"/BANKTRANLIST>", Tag::kListEnd},
                           {"/INVBANKTRAN>", Tag::kListEnd},
                           {"STMTRS>", Tag::kStatement},
                           {"INVSTMTRS>", Tag::kInvestmentStatement},
                           {"SECLIST>", Tag::kSecurityList},
                           {"CCSTMTRS>", Tag::kCardStatement},
                           {"PAYEE>", Tag::kPayee},
                           {"/PAYEE>", Tag::kPayeeEnd},
                           {"ACCTID>", Tag::kAccountId},
                           {"TRNTYPE>", Tag::kType},
                           {"DTPOSTED>", Tag::kDate},
                           {"TRNAMT>", Tag::kAmount},
                           {"NAME>", Tag::kName},
                           {"MEMO>", Tag::kMemo}};
  std::array<Entry, 16> table{};
  for (const Key& key : kKeys) {
    std::size_t size = 0;
    while (key.text[size] != '\0') ++size;
    Entry& entry = table[Place(key.text)];
    if (entry.tag != Tag::kNone) throw "two keys share a place";  // fails the build
    const std::size_t first = size < 8 ? size : 8;
    entry = {Word(key.text, first),
             Prefix(first),
             Word(key.text + first, size - first),
             size > 8 ? Prefix(size - 8) : 0,
             key.tag,
             static_cast<std::uint8_t>(size)};
  }
  return table;
}

inline constexpr std::array<Entry, 16> kTable = MakeTable();

}  // namespace tag_words

// Tells which tag a segment's key is: `p` points just after the "<" (or at
// the start of a line) and has kTagLookahead bytes readable. A key counts
// only when its ">" follows right after it, so "NAMES>" is no NAME. The key
// is looked up by its second to fifth bytes and confirmed by two word
// compares, without comparing strings or branching on letters.
inline TagMatch MatchTag(const char* p) {
  const tag_words::Entry& entry = tag_words::kTable[tag_words::Place(p)];
  const std::uint64_t differ =
      ((tag_words::Load(p) & entry.first_mask) ^ entry.first) |
      ((tag_words::Load(p + 8) & entry.second_mask) ^ entry.second);
  return differ == 0 ? TagMatch{entry.tag, entry.size} : TagMatch{};
}

// What a "<" followed by "!" may open: a comment, "<!--" up to "-->", or a
// CDATA section, "<![CDATA[" up to "]]>". Neither is a tag.
enum class Markup : std::uint8_t {
  kNone,     // neither: a segment like any other
  kPartial,  // the bytes so far begin one of them; more are needed to tell
  kComment,
  kCdata,
};
inline constexpr std::string_view kCommentOpener = "!--";
inline constexpr std::string_view kCdataOpener = "![CDATA[";

// What `key`, the bytes after a "<" (all of them, or as many as have come),
// opens.
inline Markup MarkupOf(std::string_view key) {
  if (key.starts_with(kCommentOpener)) return Markup::kComment;
  if (key.starts_with(kCdataOpener)) return Markup::kCdata;
  if (kCommentOpener.starts_with(key) || kCdataOpener.starts_with(key)) {
    return Markup::kPartial;
  }
  return Markup::kNone;
}

}  // namespace ledgerlift
