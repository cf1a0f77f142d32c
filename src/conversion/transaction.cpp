#include "conversion/transaction.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>

#include "conversion/posted_date.h"

namespace ledgerlift {
namespace {

constexpr std::string_view kTransactionTag = "<STMTTRN>";

// The positions of the "<"s and ">"s of a line, in order, found eight bytes
// at a time: tags stand only a few bytes apart, too close for a library
// search per mark to pay off, and a byte-by-byte loop is several times
// slower on long statements.
class MarkScanner {
 public:
  explicit MarkScanner(std::string_view line) : line_(line) { Load(); }

  // The next mark's position, or the line's size when there is none.
  size_t Next() {
    while (marks_ == 0) {
      word_start_ += 8;
      if (word_start_ >= line_.size()) return line_.size();
      Load();
    }
    const int bit = std::endian::native == std::endian::little ? std::countr_zero(marks_)
                                                               : std::countl_zero(marks_);
    marks_ &= std::endian::native == std::endian::little
                  ? marks_ - 1
                  : ~(std::uint64_t{1} << (63 - bit));
    return word_start_ + bit / 8;
  }

 private:
  static constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;

  // Sets the high bit of every byte of the word that holds "<" or ">".
  // The two differ only in bit 1, so with that bit set both read ">", and
  // a byte equal to ">" becomes zero after the exclusive or.
  void Load() {
    std::uint64_t word = 0;  // the zero bytes past the end are no marks
    const size_t left = line_.size() - word_start_;
    if (left >= 8) {
      std::memcpy(&word, line_.data() + word_start_, 8);  // one load
    } else {
      std::memcpy(&word, line_.data() + word_start_, left);
    }
    const std::uint64_t x = (word | 0x0202020202020202ull) ^ 0x3E3E3E3E3E3E3E3Eull;
    marks_ = ~(((x & kLow7) + kLow7) | x | kLow7);
  }

  std::string_view line_;
  size_t word_start_ = 0;
  std::uint64_t marks_ = 0;
};

// Copies a value to `out`; returns the end of the copy.
char* Put(char* out, std::string_view value) {
  std::memcpy(out, value.data(), value.size());
  return out + value.size();
}

// Copies a fixed text, whose size the compiler knows, to `out`.
template <size_t N>
char* Put(char* out, const char (&text)[N]) {
  std::memcpy(out, text, N - 1);
  return out + N - 1;
}

}  // namespace

void TransactionStep::ProcessLine(std::string_view line) {
  if (line.find(kTransactionTag) == std::string_view::npos) return;
  Fields fields;
  bool in_transaction = false;
  // Segments lie between "<"s; the text before the first "<" is the first.
  // A segment with a ">" is a tag: its key stands before the first ">", its
  // value after it, cut at a second ">".
  MarkScanner marks(line);
  size_t segment = 0;
  for (;;) {
    size_t mark = marks.Next();
    if (mark < line.size() && line[mark] == '>') {
      const std::string_view key(line.data() + segment, mark - segment);
      const size_t value = mark + 1;
      mark = marks.Next();
      if (in_transaction && mark != value) {
        Capture(key, std::string_view(line.data() + value, mark - value), fields);
      }
      if (key == "STMTTRN") {
        if (in_transaction) Finish(fields);
        fields = Fields();
        in_transaction = true;
      }
      while (mark < line.size() && line[mark] != '<') mark = marks.Next();
    }
    if (mark >= line.size()) break;
    segment = mark + 1;
  }
  if (in_transaction) Finish(fields);
}

void TransactionStep::Capture(std::string_view key, std::string_view value,
                              Fields& fields) {
  if (key == "TRNTYPE") {
    fields.type = value;
    fields.type_found = true;
  } else if (key == "DTPOSTED") {
    // A date that is no number captures nothing; the transaction goes on.
    if (std::optional<std::string> date = PostedDate(value)) {
      fields.date = std::move(*date);
      fields.date_found = true;
    }
  } else if (key == "TRNAMT") {
    fields.amount = value;
    fields.amount_found = true;
  } else if (key == "NAME") {
    fields.name = value;
    fields.name_found = true;
  }
}

void TransactionStep::Finish(const Fields& fields) {
  if (!(fields.type_found && fields.date_found && fields.amount_found &&
        fields.name_found)) {
    ++failed_count_;
    return;
  }
  const size_t size = std::size("D\r\nP\r\nT\r\nM\r\n^\r\n") - 1 + fields.date.size() +
                      fields.name.size() + fields.amount.size() + fields.type.size();
  char* out = records_.Claim(size);
  if (out == nullptr) {  // a record longer than the output block
    for (std::string_view piece :
         {std::string_view("D"), std::string_view(fields.date), std::string_view("\r\nP"),
          fields.name, std::string_view("\r\nT"), fields.amount,
          std::string_view("\r\nM"), fields.type, std::string_view("\r\n^\r\n")}) {
      records_.Append(piece);
    }
    return;
  }
  out = Put(out, "D");
  out = Put(out, fields.date);
  out = Put(out, "\r\nP");
  out = Put(out, fields.name);
  out = Put(out, "\r\nT");
  out = Put(out, fields.amount);
  out = Put(out, "\r\nM");
  out = Put(out, fields.type);
  Put(out, "\r\n^\r\n");
}

}  // namespace ledgerlift
