#include "reference_reader.h"

#include <optional>
#include <vector>

#include "fixtures.h"
#include "statement/posted_date.h"

namespace ledgerlift::testing_reference {
namespace {

// A byte of the input as the reader sees it. Comments are gone, each left
// as a break; a CDATA section is a break followed by its text.
struct Unit {
  enum Kind { kByte, kText, kBreak };
  Kind kind;
  char byte;
  bool Is(char c) const { return kind == kByte && byte == c; }
};
using Units = std::vector<Unit>;

// `text` of a CDATA section, each line end (CR LF, LF or CR) one blank.
void AppendText(std::string_view text, Units& units) {
  for (size_t i = 0; i < text.size(); ++i) {
    const bool line_end = text[i] == '\r' || text[i] == '\n';
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    units.push_back({Unit::kText, line_end ? ' ' : text[i]});
  }
}

// The input with its comments and CDATA sections read; either one runs to
// the end of the input when it is not closed.
Units Read(std::string_view input) {
  Units units;
  size_t i = 0;
  while (i < input.size()) {
    const std::string_view rest = input.substr(i);
    const bool comment = rest.starts_with("<!--");
    if (!comment && !rest.starts_with("<![CDATA[")) {
      units.push_back({Unit::kByte, input[i++]});
      continue;
    }
    units.push_back({Unit::kBreak, 0});
    const size_t opener = comment ? 4 : 9;
    const size_t closer = input.find(comment ? "-->" : "]]>", i + opener);
    const size_t text_end = closer == std::string_view::npos ? input.size() : closer;
    if (!comment) AppendText(input.substr(i + opener, text_end - i - opener), units);
    i = closer == std::string_view::npos ? input.size() : closer + 3;
  }
  return units;
}

// The lines, ended by CR LF, LF or a lone CR outside comments and CDATA.
std::vector<Units> Lines(const Units& units) {
  std::vector<Units> lines(1);
  for (size_t i = 0; i < units.size(); ++i) {
    if (!units[i].Is('\r') && !units[i].Is('\n')) {
      lines.back().push_back(units[i]);
      continue;
    }
    if (units[i].Is('\r') && i + 1 < units.size() && units[i + 1].Is('\n')) ++i;
    lines.emplace_back();
  }
  return lines;
}

// A segment read as a tag: its key, and its value after the first ">" (a
// ">" later on is part of the value). A segment without ">", or with a
// comment or CDATA section before it, is no tag.
struct Segment {
  std::optional<std::string> key;
  std::string value;
};

// The segments of a line: the text before its first "<", then the text
// after each "<".
std::vector<Segment> Segments(const Units& line) {
  std::vector<Segment> segments(1);
  bool in_key = true;
  bool broken = false;  // a comment or CDATA section stands in the key
  std::string text;
  for (const Unit& unit : line) {
    if (unit.Is('<')) {
      segments.emplace_back();
      in_key = true;
      broken = false;
      text.clear();
    } else if (in_key && unit.Is('>')) {
      in_key = false;
      if (!broken) segments.back().key = text;
    } else if (in_key) {
      broken = broken || unit.kind != Unit::kByte;
      text += unit.byte;
    } else if (unit.kind != Unit::kBreak) {
      segments.back().value += unit.byte;
    }
  }
  return segments;
}

bool HoldsDigit(std::string_view value) {
  return value.find_first_of("0123456789") != std::string_view::npos;
}

std::string WithoutBlanks(std::string_view value) {
  const size_t first = value.find_first_not_of(" \t");
  if (first == std::string_view::npos) return "";
  return std::string(value.substr(first, value.find_last_not_of(" \t") - first + 1));
}

struct Transaction {
  std::optional<std::string> type, date, amount, name, payee_name, memo;
  size_t statement = 0;
  bool began_on_this_line = true;
  bool in_payee = false;
  // Begun by "STMTTRN>" at the start of a line that holds no "<STMTTRN>":
  // no transaction after all, neither written nor counted.
  bool in_doubt = false;
};

struct Statement {
  bool card = false;
  std::string account;
};

class Reader {
 public:
  void Line(const std::vector<Segment>& segments) {
    bool transaction_line = false;
    for (size_t i = 1; i < segments.size(); ++i) {
      transaction_line = transaction_line || segments[i].key == "STMTTRN";
    }
    for (size_t i = 0; i < segments.size(); ++i) {
      if (!segments[i].key) continue;
      const std::string& key = *segments[i].key;
      const std::string& value = segments[i].value;
      if (open_ && !value.empty()) Capture(key, value);
      if (!open_ && key == "ACCTID" && !statements_.empty() &&
          statements_.back().account.empty()) {
        statements_.back().account = WithoutBlanks(value);
      }
      if (key == "STMTTRN") {
        const bool was_open = open_.has_value();
        if (open_) Close();
        open_.emplace();
        open_->statement = statements_.size();
        open_->in_doubt = i == 0 && !transaction_line && !was_open;
      } else if (key == "/STMTTRN" || key == "/BANKTRANLIST" || key == "/INVBANKTRAN") {
        if (open_) Close();
      } else if (key == "STMTRS" || key == "INVSTMTRS" || key == "CCSTMTRS") {
        statements_.push_back({key == "CCSTMTRS", ""});
      } else if ((key == "PAYEE" || key == "/PAYEE") && open_) {
        open_->in_payee = key == "PAYEE";
      }
    }
    if (open_ && open_->in_doubt) open_.reset();
    if (open_ && open_->began_on_this_line && open_->type && open_->date &&
        open_->amount && (open_->name || open_->payee_name)) {
      Close();
    }
    if (open_) open_->began_on_this_line = false;
  }

  std::string Register() {
    if (open_) Close();
    size_t statements_with_records = 0;
    for (const auto& [statement, records] : blocks_) {
      if (statement != 0) ++statements_with_records;
    }
    std::string out;
    for (const auto& [statement, records] : blocks_) {
      if (statements_with_records < 2 || statement == 0) {
        if (out.empty()) out = "!Type:Bank\r\n";
      } else {
        const Statement& s = statements_[statement - 1];
        out += testing_support::AccountHeader(
            s.account.empty() ? "Account " + std::to_string(statement) : s.account,
            s.card ? "CCard" : "Bank");
      }
      out += records;
    }
    return out.empty() ? "!Type:Bank\r\n" : out;
  }

  std::uint64_t failed = 0;

 private:
  void Capture(std::string_view key, std::string_view value) {
    if (key == "TRNTYPE") open_->type = value;
    if (key == "TRNAMT" && HoldsDigit(value)) open_->amount = value;
    if (key == "NAME") (open_->in_payee ? open_->payee_name : open_->name) = value;
    if (key == "MEMO") open_->memo = value;
    if (key == "DTPOSTED") {
      if (const std::optional<QifDate> date = PostedDate(value)) {
        open_->date = std::string(date->view());
      }
    }
  }

  void Close() {
    const Transaction& t = *open_;
    if (t.in_doubt) {
      // neither written nor counted
    } else if (t.type && t.date && t.amount) {
      const std::string payee = t.name         ? *t.name
                                : t.payee_name ? *t.payee_name
                                : t.memo       ? *t.memo
                                               : "";
      if (blocks_.empty() || blocks_.back().first != t.statement) {
        blocks_.emplace_back(t.statement, "");
      }
      blocks_.back().second +=
          testing_support::Record(*t.date, payee, *t.amount, *t.type);
    } else {
      ++failed;
    }
    open_.reset();
  }

  std::optional<Transaction> open_;
  std::vector<Statement> statements_;
  // The records of each statement in turn (0: before any statement).
  std::vector<std::pair<size_t, std::string>> blocks_;
};

}  // namespace

std::string ReferenceConvert(std::string_view input, std::uint64_t* failed_count) {
  Reader reader;
  for (const Units& line : Lines(Read(input))) reader.Line(Segments(line));
  std::string out = reader.Register();
  if (failed_count) *failed_count = reader.failed;
  return out;
}

}  // namespace ledgerlift::testing_reference
