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

// Values up to this size with as many bytes readable from their start are
// copied as one piece of this size, into room with as many to spare.
constexpr size_t kPiece = kValuePiece;

char* PutPiece(char* out, std::string_view value) {
  std::memcpy(out, value.data(), kPiece);
  return out + value.size();
}

// Copies a fixed text, whose size the compiler knows, to `out`.
template <size_t N>
char* PutText(char* out, const char (&text)[N]) {
  std::memcpy(out, text, N - 1);
  return out + N - 1;
}

// Writes a record's lines at `out`, each value copied by `put_value`;
// returns their end.
template <typename PutValue>
[[gnu::always_inline]] inline char* PutRecord(char* out, std::string_view date,
                                              std::string_view payee,
                                              std::string_view amount,
                                              std::string_view type, PutValue put_value) {
  out = PutText(out, "D");
  out = PutBytes(out, date);
  out = PutText(out, "\r\nP");
  out = put_value(out, payee);
  out = PutText(out, "\r\nT");
  out = put_value(out, amount);
  out = PutText(out, "\r\nM");
  out = put_value(out, type);
  return PutText(out, "\r\n^\r\n");
}

}  // namespace

void TransactionStep::Begin(bool at_line_start, std::uint64_t offset, bool listed) {
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
  start_ = offset;
  listed_text_ = 0;
  text_unknown_ = !listed;
  if (rejected_) {
    rejected_ = false;
    rejected_date_.clear();
    rejected_amount_.clear();
  }
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
  if (field == Field::kAccount) return CaptureAccount(value);
  if (ReadPostedDate(value, Readable(value), date_)) {
    found_ |= Bit(Field::kDate);
  } else {
    CaptureOtherDate(value);
  }
}

void TransactionStep::CaptureAccount(std::string_view value) {
  accounts_.AccountId(ValueText(value, encoding_));
}

// A DTPOSTED value that is no number as it stands: written with references,
// or no date, which captures nothing (the transaction goes on).
void TransactionStep::CaptureOtherDate(std::string_view value) {
  const std::string text = ValueText(value, encoding_);
  if (ReadPostedDate(text, text.size(), date_)) {
    found_ |= Bit(Field::kDate);
  } else {
    rejected_date_ = text;
    rejected_ = true;
  }
}

void TransactionStep::RejectAmount(std::string_view value) {
  rejected_amount_ = ValueText(value, encoding_);
  rejected_ = true;
}

void TransactionStep::CountFailure() {
  if (failed_count_++ < kFailedKept) {
    failed_.push_back({start_, !Has(Field::kType), !Has(Field::kDate),
                       !Has(Field::kAmount), Has(Field::kDate) ? "" : rejected_date_,
                       Has(Field::kAmount) ? "" : rejected_amount_, ""});
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
    CountFailure();
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

TransactionStep::RecordSpecials TransactionStep::SpecialsOf(std::string_view payee,
                                                            std::string_view amount,
                                                            std::string_view type) const {
  return {ValueTextBytes32(payee.data(), payee.size(), high_bytes_),
          ValueTextBytes32(amount.data(), amount.size(), high_bytes_),
          ValueTextBytes32(type.data(), type.size(), high_bytes_)};
}

// A record whose values ValueText changes: their texts are written where
// they go, in room for the longest they can be.
void TransactionStep::WriteRecordText(std::string_view payee, std::string_view amount,
                                      std::string_view type,
                                      const RecordSpecials* specials) {
  const std::string_view date = date_.view();
  const size_t most =
      std::size("D\r\nP\r\nT\r\nM\r\n^\r\n") - 1 + date.size() +
      kMostValueTextPerByte * (payee.size() + amount.size() + type.size());
  char* out = records_.Claim(most, kPiece);
  if (out == nullptr) {  // a record longer than the output block
    const std::string texts[] = {ValueText(payee, encoding_),
                                 ValueText(amount, encoding_),
                                 ValueText(type, encoding_)};
    return WriteLines(texts[0], texts[1], texts[2]);
  }
  char* const start = out;
  if (specials == nullptr) {
    out = PutRecord(out, date, payee, amount, type,
                    [this](char* to, std::string_view value) {
                      return PutValueText(to, value, encoding_);
                    });
  } else {
    const std::uint32_t* next = specials->data();
    out = PutRecord(out, date, payee, amount, type,
                    [this, next](char* to, std::string_view value) mutable {
                      const std::uint32_t bytes = *next++;
                      return bytes != 0 ? PutValueText(to, value, bytes, encoding_)
                                        : PutPiece(to, value);
                    });
  }
  records_.Unclaim(most - static_cast<size_t>(out - start));
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
            [](char* to, std::string_view value) { return PutBytes(to, value); });
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
  const bool pieces = static_cast<int>(in_piece(payee)) &
                      static_cast<int>(in_piece(amount)) &
                      static_cast<int>(in_piece(type));
  // What the values hold, as the second thread saw it in the chunks of the
  // values it listed, then in the values themselves; for values it did not
  // list, the record as written tells.
  if (listed_text_ & SegmentStarts::kValueText) {
    if (!pieces) return WriteRecordText(payee, amount, type, nullptr);
    const RecordSpecials specials = SpecialsOf(payee, amount, type);
    if ((specials[0] | specials[1] | specials[2]) != 0) {
      return WriteRecordText(payee, amount, type, &specials);
    }
  }
  if (pieces) {
    if (char* out = records_.Claim(size, kPiece)) {
      PutRecord(out, date, payee, amount, type, PutPiece);
      if (!text_unknown_ || !HoldsValueTextBytes(out, size, high_bytes_)) return;
      records_.Unclaim(size);
      const RecordSpecials specials = SpecialsOf(payee, amount, type);
      return WriteRecordText(payee, amount, type, &specials);
    }
  }
  if (NeedsValueText(payee, encoding_) || NeedsValueText(amount, encoding_) ||
      NeedsValueText(type, encoding_)) {
    return WriteRecordText(payee, amount, type, nullptr);
  }
  WriteLines(payee, amount, type);
}

}  // namespace ledgerlift
