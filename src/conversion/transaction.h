#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/output_buffer.h"

namespace ledgerlift {

// The transaction step: turns the transaction lines of a QFX statement into
// QIF bank records. A line is a transaction line when it holds "<STMTTRN>".
// Its tags are scanned in order; every STMTTRN tag starts a transaction that
// runs to the next STMTTRN tag or to the end of the line. A transaction that
// captured TRNTYPE, DTPOSTED, TRNAMT and NAME becomes one five-line record
// (D date, P name, T amount, M type, ^); any other counts as one failed line.
// Values are copied byte for byte, as they stand between ">" and the next "<".
class TransactionStep {
 public:
  // Records go to `records`, each line ended by CR LF.
  explicit TransactionStep(OutputBuffer& records) : records_(records) {}

  // One input line, without its line end.
  void ProcessLine(std::string_view line);

  // Transactions that lacked one of the four fields, so far.
  std::uint64_t failed_count() const { return failed_count_; }

 private:
  // What one transaction has captured; the views point into the current line.
  struct Fields {
    std::string_view type, amount, name;
    std::string date;
    bool type_found = false, date_found = false;
    bool amount_found = false, name_found = false;
  };

  void Capture(std::string_view key, std::string_view value, Fields& fields);
  void Finish(const Fields& fields);

  OutputBuffer& records_;
  std::uint64_t failed_count_ = 0;
};

}  // namespace ledgerlift
