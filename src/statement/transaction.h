#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "statement/account_blocks.h"
#include "statement/byte_classes.h"
#include "statement/output_buffer.h"
#include "statement/posted_date.h"
#include "statement/segment_starts.h"
#include "statement/values.h"

namespace ledgerlift {

// A transaction that gave no record: where it begins in the input (just
// after its STMTTRN tag) and what it lacked.
struct FailedTransaction {
  std::uint64_t offset = 0;
  bool no_type = false;
  bool no_date = false;
  bool no_amount = false;
  std::string date;    // with no_date: a DTPOSTED value that is no number, if any
  std::string amount;  // with no_amount: a TRNAMT value without a digit, if any
  // An investment transaction's own words for what it lacks ("no date, no
  // security"); the flags above are a bank transaction's.
  std::string lacks;
};

// How many failed transactions are kept to be told one by one.
inline constexpr std::size_t kFailedKept = 10;

// The transaction step: follows the transactions of a statement as its tags
// arrive and turns each into a QIF bank record or a failed count.
//
// A transaction begins at a STMTTRN tag and ends at the first of: its
// </STMTTRN>, the next STMTTRN tag, </BANKTRANLIST> or </INVBANKTRAN>, the end
// of the line it began on when by then it holds TRNTYPE, DTPOSTED, TRNAMT and
// a name (its own NAME or its payee's), or the end of the input. So a
// transaction may stand on one line or run over many, one tag per line.
// Outside a transaction only a line that holds "<STMTTRN>" counts; the text
// before a line's first "<" is read as a tag too, so a line that begins
// "STMTTRN>" starts a transaction only when "<STMTTRN>" follows later on that
// line.
//
// A transaction with a type, a date that is a number, and an amount that
// holds a digit becomes five lines (D date, P payee, T amount, M type, ^).
// The payee is the transaction's own NAME; a NAME inside its <PAYEE>
// aggregate (up to </PAYEE>) only when it has none of its own; then MEMO;
// then nothing. Any other transaction counts as failed. Of each field the
// last value that is not empty counts, without the blanks around it (a
// value of blanks alone is none); a date that is no number and an amount
// without a digit capture nothing. A record holds each value's text as
// ValueText writes it: character references decoded, and, for UTF-8
// registers, a value that is not UTF-8 read as Windows-1252.
//
// The step also follows the statements a file holds (AccountBlocks): the
// statement tags, and ACCTID values outside any transaction.
class TransactionStep {
 public:
  // The texts kept (type to payee's name), then the values read at once.
  enum class Field : std::uint8_t {
    kType,
    kAmount,
    kName,
    kMemo,
    kPayeeName,  // a NAME inside the PAYEE aggregate
    kDate,
    kAccount,  // ACCTID, captured outside any transaction
  };

  // Records go to `records`, each line ended by CR LF, their text encoded
  // as `encoding` says.
  TransactionStep(OutputBuffer& records, TextEncoding encoding)
      : records_(records),
        encoding_(encoding),
        high_bytes_(encoding == TextEncoding::kUtf8) {}

  // A STMTTRN tag at `offset` in the input; `at_line_start` when it is the
  // text before a line's first "<"; `listed` when the second thread listed
  // it (and tells of the values that follow: Text).
  void Begin(bool at_line_start, std::uint64_t offset, bool listed = false);

  // </STMTTRN>, </BANKTRANLIST> or </INVBANKTRAN>.
  void End();

  // <PAYEE> and </PAYEE>: whether a NAME is the payee aggregate's.
  void Payee(bool inside) { in_payee_ = inside; }

  // STMTRS or INVSTMTRS, or CCSTMTRS (`card`).
  void BeginStatement(bool card) {
    // Any transaction not yet closed, even one still in doubt, may be
    // written later: it keeps the statement it began in.
    accounts_.BeginStatement(card, phase_ != Phase::kOutside ? &statement_ : nullptr);
  }

  // Whether a value of a field is captured now (a transaction is open).
  bool capturing() const {
    return phase_ == Phase::kOpen || phase_ == Phase::kUnconfirmed;
  }

  // A value of `field`, without blanks around it and not empty: a
  // transaction's field while `capturing()`, an account when not. The text is only looked
  // at until `KeepValues` or the next call; DTPOSTED and ACCTID are read at once.
  //
  // `text` is what is known of the bytes its text in the register is
  // written otherwise for (ValueText: a "&", a byte from 0x80), which a
  // record's writing looks for only when not known.
  // kUnknown: nothing is known of them. kNoted: what the second thread saw
  // is noted already (NoteListed). kScanned: unknown, and nothing to note:
  // the converter's own scan forgets what is known (ForgetText) before it
  // captures.
  enum class Text : std::uint8_t { kUnknown, kNoted, kScanned };
  void Capture(Field field, std::string_view value, Text text = Text::kUnknown) {
    if (field >= Field::kDate) {
      CaptureAtOnce(field, value);
      return;
    }
    if (field == Field::kAmount && !HoldsDigit(value)) return RejectAmount(value);
    if (field == Field::kName && in_payee_) field = Field::kPayeeName;
    Value(field) = value;
    found_ |= Bit(field);
    // (With a `text` the compiler knows, this is one store or none.)
    if (text == Text::kUnknown) text_unknown_ = true;
  }

  // What is known of the open transaction's values holds no more.
  void ForgetText() { text_unknown_ = true; }
  // A start of the second thread's list (SegmentStarts::Start's second
  // word): whether the value it ends may hold a byte ValueText writes
  // otherwise. Noted for every start listed, a captured value's or not.
  void NoteListed(std::uint32_t start) { listed_text_ |= start; }

  // The captured values are copied out of the text they were found in,
  // which is about to be reused.
  void KeepValues();

  // The block being converted, or none: a value found in it may be read
  // together with the bytes after it, so that dates are read and short
  // values copied in pieces of one size whatever their own, without the
  // branches on their size that the processor would mispredict from one
  // transaction to the next.
  void ReadingBlock(std::string_view block) { block_ = block; }

  void LineEnd() {
    // Inside a transaction that began on an earlier line a line end changes
    // nothing: one tag per line, this is nearly every line.
    if (phase_ == Phase::kOpen && !on_first_line_) return;
    LineEndOfFirstLine();
  }
  void InputEnd();

  // Transactions that lacked their type, date or amount, so far, and the
  // first kFailedKept of them.
  std::uint64_t failed_count() const { return failed_count_; }
  const std::vector<FailedTransaction>& failed() const { return failed_; }
  // Transactions written as records, so far.
  std::uint64_t record_count() const { return record_count_; }

  // The file's statements and where their records begin.
  const AccountBlocks& accounts() const { return accounts_; }
  AccountBlocks& accounts() { return accounts_; }  // investment records go there too

 private:
  enum class Phase : std::uint8_t {
    kOutside,
    kOpen,
    // Begun by "STMTTRN>" at a line's start: a transaction only if
    // "<STMTTRN>" follows on the line; until then it is neither written nor
    // counted.
    kUnconfirmed,
    kUnconfirmedEnded,  // ended before the line showed "<STMTTRN>"
  };

  static constexpr unsigned Bit(Field field) {
    return 1u << static_cast<unsigned>(field);
  }
  bool Has(Field field) const { return (found_ & Bit(field)) != 0; }
  std::string_view& Value(Field field) { return values_[static_cast<size_t>(field)]; }

  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  bool HoldsDigit(std::string_view value) const {
    // An amount's first or second byte is a digit ("-12.50"): one branch
    // then, whether it is signed or not. Neither stands in a character
    // reference, which begins with "&", so decoding keeps it.
    if (!value.empty() &&
        (static_cast<int>(IsDigit(value[0])) | (value.size() > 1 && IsDigit(value[1])))) {
      return true;
    }
    return HoldsDigitAfterAll(value);
  }
  bool HoldsDigitAfterAll(std::string_view value) const;
  // How many bytes may be read from `value`'s start: to the block's end
  // for a value in the block being converted, its own otherwise.
  std::size_t Readable(std::string_view value) const {
    const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(value.data()) -
                                  reinterpret_cast<std::uintptr_t>(block_.data());
    return offset < block_.size() ? block_.size() - offset : value.size();
  }
  void LineEndOfFirstLine();  // or outside a transaction
  void CaptureAtOnce(Field field, std::string_view value);
  [[gnu::cold]] void CaptureAccount(std::string_view value);
  [[gnu::cold]] void CaptureOtherDate(std::string_view value);
  void RejectAmount(std::string_view value);
  [[gnu::cold]] void CountFailure();
  void Close();  // writes the record or counts the failure
  void WriteRecord(std::string_view payee);
  // The bytes ValueText changes in each of a record's three values (payee,
  // amount, type), as ValueTextBytes32 tells them for values read as pieces.
  using RecordSpecials = std::array<std::uint32_t, 3>;
  RecordSpecials SpecialsOf(std::string_view payee, std::string_view amount,
                            std::string_view type) const;
  // `specials`: of values read as pieces; none when they are not.
  void WriteRecordText(std::string_view payee, std::string_view amount,
                       std::string_view type, const RecordSpecials* specials);
  void WriteLines(std::string_view payee, std::string_view amount, std::string_view type);
  OutputBuffer& records_;
  const TextEncoding encoding_;
  const bool high_bytes_;  // bytes from 0x80 are ValueText's to write (UTF-8)
  Phase phase_ = Phase::kOutside;
  bool on_first_line_ = false;  // the open transaction began on this line
  bool in_payee_ = false;       // inside its PAYEE aggregate
  unsigned found_ = 0;          // the fields captured, as bits
  // Of the open transaction: the starts listed (SegmentStarts::kValueText
  // tells whether a value may hold a byte ValueText writes otherwise), and
  // whether a value was captured where nothing was seen.
  std::uint32_t listed_text_ = 0;
  bool text_unknown_ = true;
  std::array<std::string_view, 5> values_;  // type, amount, name, memo, payee's name
  std::array<std::string, 5> kept_;         // their copies, once kept
  QifDate date_{};
  std::string_view block_;  // being converted
  std::uint64_t failed_count_ = 0;
  std::vector<FailedTransaction> failed_;
  std::uint64_t start_ = 0;  // of the open transaction, in the input
  // Of the open transaction: a DTPOSTED value that is no number and a
  // TRNAMT value without a digit, the last of each.
  std::string rejected_date_, rejected_amount_;
  bool rejected_ = false;  // either is set
  std::uint64_t record_count_ = 0;
  std::uint64_t statement_ = 0;  // of the open transaction
  AccountBlocks accounts_;
};

}  // namespace ledgerlift
