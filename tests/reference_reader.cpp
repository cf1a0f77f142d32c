#include "reference_reader.h"

#include <optional>
#include <vector>

#include "conversion/posted_date.h"

namespace ledgerlift::testing_reference {
namespace {

// The input's lines, ended by CR LF, LF or a lone CR.
std::vector<std::string_view> Lines(std::string_view input) {
  std::vector<std::string_view> lines;
  size_t begin = 0;
  for (size_t i = 0; i < input.size(); ++i) {
    if (input[i] != '\r' && input[i] != '\n') continue;
    lines.push_back(input.substr(begin, i - begin));
    if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n') ++i;
    begin = i + 1;
  }
  if (begin < input.size()) lines.push_back(input.substr(begin));
  return lines;
}

// The pieces of `text` between the `separator`s, all of them.
std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  size_t begin = 0;
  for (size_t at; (at = text.find(separator, begin)) != std::string_view::npos;
       begin = at + 1) {
    pieces.push_back(text.substr(begin, at - begin));
  }
  pieces.push_back(text.substr(begin));
  return pieces;
}

struct Transaction {
  std::optional<std::string> type, date, amount, name, memo;
  bool began_on_this_line = true;
};

class Reader {
 public:
  void Line(std::string_view line) {
    const bool transaction_line = line.find("<STMTTRN>") != std::string_view::npos;
    if (!open_ && !transaction_line) return;
    for (std::string_view segment : Split(line, '<')) {
      const std::vector<std::string_view> pieces = Split(segment, '>');
      if (pieces.size() < 2) continue;  // no ">": not a tag
      const std::string_view key = pieces[0], value = pieces[1];
      if (open_ && !value.empty()) Capture(key, value);
      if (key == "STMTTRN") {
        if (open_) Close();
        open_ = Transaction{};
      } else if (key == "/STMTTRN" || key == "/BANKTRANLIST" || key == "/INVBANKTRAN") {
        if (open_) Close();
      }
    }
    if (open_ && open_->began_on_this_line && open_->type && open_->date &&
        open_->amount && open_->name) {
      Close();
    }
    if (open_) open_->began_on_this_line = false;
  }

  void End() {
    if (open_) Close();
  }

  std::string records;
  std::uint64_t failed = 0;

 private:
  void Capture(std::string_view key, std::string_view value) {
    if (key == "TRNTYPE") open_->type = value;
    if (key == "TRNAMT") open_->amount = value;
    if (key == "NAME") open_->name = value;
    if (key == "MEMO") open_->memo = value;
    if (key == "DTPOSTED") {
      if (const std::optional<QifDate> date = PostedDate(value)) {
        open_->date = std::string(date->view());
      }
    }
  }

  void Close() {
    const Transaction& t = *open_;
    if (t.type && t.date && t.amount) {
      const std::string payee = t.name ? *t.name : t.memo ? *t.memo : "";
      records += "D" + *t.date + "\r\nP" + payee + "\r\nT" + *t.amount + "\r\nM" +
                 *t.type + "\r\n^\r\n";
    } else {
      ++failed;
    }
    open_.reset();
  }

  std::optional<Transaction> open_;
};

}  // namespace

std::string ReferenceConvert(std::string_view input, std::uint64_t* failed_count) {
  Reader reader;
  for (std::string_view line : Lines(input)) reader.Line(line);
  reader.End();
  if (failed_count) *failed_count = reader.failed;
  return "!Type:Bank\r\n" + reader.records;
}

}  // namespace ledgerlift::testing_reference
