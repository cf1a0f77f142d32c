#include "statement/transaction.h"

#include <cstdint>
#include <cstring>
#include <iterator>

#include "statement/byte_classes.h"

namespace ledgerlift {
namespace {

using Field = TransactionStep::Field;

constexpr unsigned Bit(Field field) { return 1u << static_cast<unsigned>(field); }
// What a transaction standing whole on one line holds at its end.
constexpr unsigned kTypeDateAmount =
    Bit(Field::kType) | Bit(Field::kAmount) | Bit(Field::kDate);
constexpr unsigned kAnyName = Bit(Field::kName) | Bit(Field::kPayeeName);

// Copies a value to `out`; returns the end of the copy. Values are short:
// up to 16 bytes they are copied as two words that may overlap, which costs
// less than a call to memcpy.
[[gnu::always_inline]] inline char* Put(char* out, std::string_view value) {
  const char* const from = value.data();
  const size_t size = value.size();
  if (size >= 8 && size <= 16) {
    std::uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + size - 8, 8);
    std::memcpy(out, &head, 8);
    std::memcpy(out + size - 8, &tail, 8);
  } else if (size >= 4 && size < 8) {
    std::uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + size - 4, 4);
    std::memcpy(out, &head, 4);
    std::memcpy(out + size - 4, &tail, 4);
  } else {
    std::memcpy(out, from, size);
  }
  return out + size;
}

// Values up to this size with as many bytes readable from their start are
// copied as one piece of this size, into room with as many to spare.
constexpr size_t kPiece = 32;

char* PutPiece(char* out, std::string_view value) {
  std::memcpy(out, value.data(), kPiece);
  return out + value.size();
}

// Copies a fixed text, whose size the compiler knows, to `out`.
template <size_t N>
char* Put(char* out, const char (&text)[N]) {
  std::memcpy(out, text, N - 1);
  return out + N - 1;
}

// Writes a record's lines at `out`, each value copied by `put_value`.
template <typename PutValue>
[[gnu::always_inline]] inline void PutRecord(char* out, std::string_view date,
                                             std::string_view payee,
                                             std::string_view amount,
                                             std::string_view type, PutValue put_value) {
  out = Put(out, "D");
  out = Put(out, date);
  out = Put(out, "\r\nP");
  out = put_value(out, payee);
  out = Put(out, "\r\nT");
  out = put_value(out, amount);
  out = Put(out, "\r\nM");
  out = put_value(out, type);
  Put(out, "\r\n^\r\n");
}

}  // namespace

void TransactionStep::Begin(bool at_line_start) {
  switch (phase_) {
    case Phase::kOutside:
      phase_ = at_line_start ? Phase::kUnconfirmed : Phase::kOpen;
      break;
    case Phase::kOpen:
      Close();
      break;
    case Phase::kUnconfirmed:
    case Phase::kUnconfirmedEnded:
      // Only "<STMTTRN>" gets here (a line start ended the doubt): the line
      // is a transaction line, and the transaction begun at its start counts.
      Close();
      phase_ = Phase::kOpen;
      break;
  }
  found_ = 0;
  on_first_line_ = true;
  in_payee_ = false;
  statement_ = accounts_.current();
}

void TransactionStep::End() {
  if (phase_ == Phase::kOpen) {
    Close();
    phase_ = Phase::kOutside;
  } else if (phase_ == Phase::kUnconfirmed) {
    phase_ = Phase::kUnconfirmedEnded;
  }
}

void TransactionStep::CaptureAtOnce(Field field, std::string_view value) {
  if (field == Field::kAccount) {
    accounts_.AccountId(ValueText(value, encoding_));
    return;
  }
  // A date that is no number captures nothing; the transaction goes on.
  if (ReadPostedDate(value, Readable(value), date_)) {
    found_ |= Bit(Field::kDate);
  } else if (value.find('&') != std::string_view::npos) {  // written with references
    const std::string text = ValueText(value, TextEncoding::kAsRead);
    if (ReadPostedDate(text, text.size(), date_)) found_ |= Bit(Field::kDate);
  }
}

bool TransactionStep::HoldsDigitAfterAll(std::string_view value) const {
  const auto holds_digit = [](std::string_view text) {
    for (char c : text) {
      if (IsDigit(c)) return true;
    }
    return false;
  };
  if (value.find('&') == std::string_view::npos) return holds_digit(value);
  return holds_digit(ValueText(value, TextEncoding::kAsRead));
}

void TransactionStep::KeepValues() {
  for (size_t i = 0; i < values_.size(); ++i) {
    if ((found_ & (1u << i)) && values_[i].data() != kept_[i].data()) {
      kept_[i].assign(values_[i]);
      values_[i] = kept_[i];
    }
  }
}

void TransactionStep::LineEndOfFirstLine() {
  switch (phase_) {
    case Phase::kOpen:
      if (on_first_line_ && (found_ & kTypeDateAmount) == kTypeDateAmount &&
          (found_ & kAnyName) != 0) {
        Close();
        phase_ = Phase::kOutside;
      }
      break;
    case Phase::kUnconfirmed:
    case Phase::kUnconfirmedEnded:
      phase_ = Phase::kOutside;  // the line held no "<STMTTRN>"
      break;
    case Phase::kOutside:
      break;
  }
  on_first_line_ = false;
}

void TransactionStep::InputEnd() {
  LineEnd();
  if (phase_ == Phase::kOpen) {
    Close();
    phase_ = Phase::kOutside;
  }
}

void TransactionStep::Close() {
  if (!(Has(Field::kType) && Has(Field::kDate) && Has(Field::kAmount))) {
    ++failed_count_;
    return;
  }
  if (Has(Field::kName)) {
    WriteRecord(Value(Field::kName));
  } else if (Has(Field::kPayeeName)) {
    WriteRecord(Value(Field::kPayeeName));
  } else if (Has(Field::kMemo)) {
    WriteRecord(Value(Field::kMemo));
  } else {
    WriteRecord("");  // not a null view: it is copied with memcpy
  }
}

std::uint64_t TransactionStep::ValueTextBytes(std::string_view value) const {
  const size_t size = value.size();
  const auto end_byte = [&](size_t at) {
    return static_cast<unsigned char>(value.data()[at]) <= ' ';
  };
  // (An empty value's first byte is read too, harmlessly: the bytes after it
  // are readable.)
  const bool ends = size != 0 && (end_byte(0) | end_byte(size - (size != 0)));
  const std::uint32_t within = static_cast<std::uint32_t>((std::uint64_t{1} << size) - 1);
  return (ValueTextBytes32(value.data(), high_bytes_) & within) | std::uint64_t{ends}
                                                                      << 32;
}

// A record whose values ValueText changes: written from their texts.
void TransactionStep::WriteRecordText(std::string_view payee, std::string_view amount,
                                      std::string_view type) {
  std::string_view values[] = {payee, amount, type};
  for (size_t i = 0; i < texts_.size(); ++i) {
    if (!NeedsValueText(values[i], encoding_)) continue;
    texts_[i].clear();
    AppendValueText(values[i], encoding_, texts_[i]);
    values[i] = texts_[i];
  }
  WriteLines(values[0], values[1], values[2]);
}

void TransactionStep::WriteLines(std::string_view payee, std::string_view amount,
                                 std::string_view type) {
  const std::string_view date = date_.view();
  const size_t size = std::size("D\r\nP\r\nT\r\nM\r\n^\r\n") - 1 + date.size() +
                      payee.size() + amount.size() + type.size();
  char* out = records_.Claim(size);
  if (out == nullptr) {  // a record longer than the output block
    for (std::string_view piece :
         {std::string_view("D"), date, std::string_view("\r\nP"), payee,
          std::string_view("\r\nT"), amount, std::string_view("\r\nM"), type,
          std::string_view("\r\n^\r\n")}) {
      records_.Append(piece);
    }
    return;
  }
  PutRecord(out, date, payee, amount, type,
            [](char* to, std::string_view value) { return Put(to, value); });
}

void TransactionStep::WriteRecord(std::string_view payee) {
  const std::string_view date = date_.view();
  const std::string_view amount = Value(Field::kAmount);
  const std::string_view type = Value(Field::kType);
  const size_t size = std::size("D\r\nP\r\nT\r\nM\r\n^\r\n") - 1 + date.size() +
                      payee.size() + amount.size() + type.size();
  accounts_.Record(statement_, records_.Position());
  ++record_count_;
  const auto in_piece = [&](std::string_view value) {
    return value.size() <= kPiece && Readable(value) >= kPiece;
  };
  if (in_piece(payee) & in_piece(amount) & in_piece(type)) {
    // What the copies read anyway tells whether a value needs more work.
    if ((ValueTextBytes(payee) | ValueTextBytes(amount) | ValueTextBytes(type)) != 0) {
      return WriteRecordText(payee, amount, type);
    }
    if (char* out = records_.Claim(size, kPiece)) {
      PutRecord(out, date, payee, amount, type, PutPiece);
      return;
    }
  } else if (NeedsValueText(payee, encoding_) || NeedsValueText(amount, encoding_) ||
             NeedsValueText(type, encoding_)) {
    return WriteRecordText(payee, amount, type);
  }
  WriteLines(payee, amount, type);
}

}  // namespace ledgerlift
