#include "conversion/transaction.h"

#include <optional>

#include "conversion/posted_date.h"

namespace ledgerlift {
namespace {

constexpr std::string_view kTransactionTag = "<STMTTRN>";

// A tag's key and value: the segment after a "<" split at its ">"s. The key
// is the first piece, the value the second; a value holding ">" is cut there.
struct Tag {
  std::string_view key, value;
};

std::optional<Tag> ReadTag(std::string_view segment) {
  const size_t close = segment.find('>');
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view value = segment.substr(close + 1);
  return Tag{segment.substr(0, close), value.substr(0, value.find('>'))};
}

}  // namespace

void TransactionStep::ProcessLine(std::string_view line) {
  if (line.find(kTransactionTag) == std::string_view::npos) return;
  Fields fields;
  bool in_transaction = false;
  // Segments lie between "<"s; the text before the first "<" is the first.
  size_t begin = 0;
  while (begin <= line.size()) {
    size_t end = line.find('<', begin);
    if (end == std::string_view::npos) end = line.size();
    if (const std::optional<Tag> tag = ReadTag(line.substr(begin, end - begin))) {
      if (in_transaction && !tag->value.empty()) Capture(tag->key, tag->value, fields);
      if (tag->key == "STMTTRN") {
        if (in_transaction) Finish(fields);
        fields = Fields();
        in_transaction = true;
      }
    }
    begin = end + 1;
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
  records_.Append("D");
  records_.Append(fields.date);
  records_.Append("\r\nP");
  records_.Append(fields.name);
  records_.Append("\r\nT");
  records_.Append(fields.amount);
  records_.Append("\r\nM");
  records_.Append(fields.type);
  records_.Append("\r\n^\r\n");
  records_.FlushIfFull();
}

}  // namespace ledgerlift
