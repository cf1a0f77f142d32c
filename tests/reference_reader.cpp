#include "reference_reader.h"

#include <iconv.h>

#include <optional>
#include <vector>

#include "fixtures.h"
#include "reference_investment.h"
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
  std::vector<bool> from_cdata;  // per byte of the value: CDATA text, no markup
};

// The text a line opens with, up to its first "<" or comment or CDATA
// section.
std::string LeadText(const Units& line) {
  std::string text;
  for (const Unit& unit : line) {
    if (unit.kind != Unit::kByte || unit.byte == '<') break;
    text += unit.byte;
  }
  return text;
}

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
      segments.back().from_cdata.push_back(unit.kind == Unit::kText);
    }
  }
  return segments;
}

bool HoldsDigit(std::string_view value) {
  return value.find_first_of("0123456789") != std::string_view::npos;
}

bool IsBlankText(std::string_view value) {
  return value.find_first_not_of(" \t") == std::string_view::npos;
}

// The character an SGML or XML reference at the start of `text` stands for,
// and its length; none for anything else, or a character outside printable
// ASCII.
std::optional<std::pair<char, size_t>> Reference(std::string_view text) {
  for (const auto& [name, c] : {std::pair<std::string_view, char>{"&amp;", '&'},
                                {"&lt;", '<'},
                                {"&gt;", '>'},
                                {"&quot;", '"'},
                                {"&apos;", '\''}}) {
    if (text.starts_with(name)) return std::pair{c, name.size()};
  }
  if (!text.starts_with("&#")) return std::nullopt;
  const bool hex = text.size() > 2 && (text[2] == 'x' || text[2] == 'X');
  const size_t digits_from = hex ? 3 : 2;
  const size_t end = text.find(';');
  if (end == std::string_view::npos || end == digits_from || end - digits_from > 8) {
    return std::nullopt;
  }
  const std::string digits(text.substr(digits_from, end - digits_from));
  if (digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
      std::string::npos) {
    return std::nullopt;
  }
  const unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);
  if (code < 32 || code > 126) return std::nullopt;
  return std::pair{static_cast<char>(code), end + 1};
}

// Converts with the C library's iconv; none when `text` is not valid in
// `from`.
std::optional<std::string> Iconv(const char* to, const char* from, std::string text) {
  const iconv_t cd = iconv_open(to, from);
  std::string out(text.size() * 4 + 4, '\0');
  char* in = text.data();
  size_t in_left = text.size();
  char* out_at = out.data();
  size_t out_left = out.size();
  const size_t done = iconv(cd, &in, &in_left, &out_at, &out_left);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1)) return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
}

// Windows-1252 as UTF-8; the five bytes it leaves undefined stand for the
// same code point, which the C library does not know.
std::string FromWindows1252(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D) {
      out += static_cast<char>(0xC2);
      out += c;
    } else {
      out += *Iconv("UTF-8", "WINDOWS-1252", std::string(1, c));
    }
  }
  return out;
}

// A captured value: without the blanks around it, its references decoded
// (outside CDATA text), and as UTF-8 when `utf8` asks for it.
struct Value {
  std::string text;
  std::vector<bool> from_cdata;
};

std::string RegisterText(const Value& value, bool utf8) {
  size_t first = value.text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const size_t last = value.text.find_last_not_of(" \t");
  std::string decoded;
  for (size_t i = first; i <= last; ++i) {
    const auto reference =
        value.from_cdata[i] || value.text[i] != '&'
            ? std::nullopt
            : Reference(std::string_view(value.text).substr(i, last + 1 - i));
    if (!reference) {
      decoded += value.text[i];
      continue;
    }
    decoded += reference->first;
    i += reference->second - 1;
  }
  if (!utf8 || Iconv("UTF-8", "UTF-8", decoded)) return decoded;
  return FromWindows1252(decoded);
}

struct Transaction {
  std::optional<Value> type, amount, name, payee_name, memo;
  std::optional<std::string> date;
  size_t statement = 0;
  bool began_on_this_line = true;
  bool in_payee = false;
  // Begun by "STMTTRN>" at the start of a line that holds no "<STMTTRN>":
  // no transaction after all, neither written nor counted.
  bool in_doubt = false;
};

struct Statement {
  bool card = false;
  bool investment = false;
  std::string account;
};

bool IsField(const std::string& key) {
  return key == "TRNTYPE" || key == "DTPOSTED" || key == "TRNAMT" || key == "NAME" ||
         key == "MEMO";
}

// The keys of bank transactions and statements' accounts.
bool IsBankKey(const std::string& key) {
  return IsField(key) || key == "STMTTRN" || key == "/STMTTRN" ||
         key == "/BANKTRANLIST" || key == "/INVBANKTRAN" || key == "PAYEE" ||
         key == "/PAYEE" || key == "ACCTID";
}

// Who takes a value: the bank side (a key), or the investment side (a field).
struct Taker {
  std::string bank_key;
  std::optional<InvestmentTag> field;
};

class Reader {
 public:
  explicit Reader(bool utf8)
      : utf8_(utf8),
        investment_(
            [this](size_t statement, std::string record) {
              AddRecord(statement, std::move(record));
            },
            [this](const std::string& account) { SetAccount(account); }) {}

  void Line(const Units& line) {
    std::vector<Segment> segments = Segments(line);
    size_t first = 0;
    if (pending_) {
      // The field left empty at the end of the line before takes the text
      // this line opens with, when it is not blank; then that line ends.
      const std::string lead = LeadText(line);
      if (!IsBlankText(lead)) {
        Take(*pending_, {lead, std::vector<bool>(lead.size(), false)});
        first = 1;
      }
      pending_.reset();
      EndOfLine();
    }
    for (size_t i = first; i < segments.size(); ++i) {
      if (!segments[i].key) continue;
      const std::optional<Taker> taker = Act(*segments[i].key, segments, i);
      const Value value{segments[i].value, segments[i].from_cdata};
      if (taker && i + 1 == segments.size() && IsBlankText(value.text)) {
        pending_ = taker;  // its value may open the next line
      } else if (taker) {
        Take(*taker, value);
      }
    }
    if (!pending_) EndOfLine();
  }

  // The input ends: a field still waiting for the next line gets nothing.
  void End() {
    if (pending_) {
      pending_.reset();
      EndOfLine();
    }
  }

  // The records in one plain register; or, when they come from several
  // statements or from an investment statement, one block per statement
  // with its account, an investment statement's securities named.
  std::string Register() {
    if (open_) Close();
    investment_.End();
    size_t statements_with_records = 0;
    bool investment = false;
    for (const auto& [statement, records] : blocks_) {
      if (statement != 0) ++statements_with_records;
      investment =
          investment || (statement != 0 && statements_[statement - 1].investment);
    }
    std::string out = "!Type:Bank\r\n";
    if (statements_with_records < 2 && !investment) {
      for (const auto& [statement, records] : blocks_) out += records;
      return out;
    }
    out.clear();
    for (const auto& [statement, records] : blocks_) {
      if (statement == 0) {
        out += "!Type:Bank\r\n" + records;
        continue;
      }
      const Statement& s = statements_[statement - 1];
      out += testing_support::AccountHeader(
          s.account.empty() ? "Account " + std::to_string(statement) : s.account,
          s.investment ? "Invst"
          : s.card     ? "CCard"
                       : "Bank");
      out += s.investment ? investment_.Named(records) : records;
    }
    return out;
  }

  std::uint64_t failed() const { return failed_ + investment_.failed; }

 private:
  // Acts on the key of segment `i`; who takes its value, if anyone. From a
  // file's first investment statement or security list on, the investment
  // side reads its own keys, and every key inside an investment statement.
  std::optional<Taker> Act(const std::string& key, const std::vector<Segment>& segments,
                           size_t i) {
    if (key == "STMTRS" || key == "CCSTMTRS" || key == "INVSTMTRS") {
      statements_.push_back({key == "CCSTMTRS", key == "INVSTMTRS", ""});
      investment_.BeginStatement(key == "INVSTMTRS", statements_.size());
    } else if (key == "SECLIST") {
      investment_.BeginSecurityList();
    } else if (investment_.investing() &&
               (investment_.in_statement() || !IsBankKey(key))) {
      if (const std::optional<InvestmentTag> field = investment_.Key(key)) {
        return Taker{"", field};
      }
    } else if (key == "STMTTRN") {
      const bool was_open = open_.has_value();
      if (open_) Close();
      open_.emplace();
      open_->statement = statements_.size();
      open_->in_doubt = i == 0 && !BankTransactionLater(segments) && !was_open;
    } else if (key == "/STMTTRN" || key == "/BANKTRANLIST" || key == "/INVBANKTRAN") {
      if (open_) Close();
    } else if ((key == "PAYEE" || key == "/PAYEE") && open_) {
      open_->in_payee = key == "PAYEE";
    } else if (open_ ? IsField(key) : key == "ACCTID") {
      return Taker{key, std::nullopt};
    }
    return std::nullopt;
  }

  // Whether a "<STMTTRN>" later on the line begins a bank transaction: one
  // outside an investment statement.
  bool BankTransactionLater(const std::vector<Segment>& segments) const {
    bool investment = investment_.in_statement();
    for (size_t i = 1; i < segments.size(); ++i) {
      if (segments[i].key == "STMTRS" || segments[i].key == "CCSTMTRS")
        investment = false;
      if (segments[i].key == "INVSTMTRS") investment = true;
      if (segments[i].key == "STMTTRN" && !investment) return true;
    }
    return false;
  }

  void AddRecord(size_t statement, std::string record) {
    if (blocks_.empty() || blocks_.back().first != statement) {
      blocks_.emplace_back(statement, "");
    }
    blocks_.back().second += record;
  }

  void SetAccount(const std::string& account) {
    if (!account.empty() && !statements_.empty() && statements_.back().account.empty()) {
      statements_.back().account = account;
    }
  }
  // A transaction whole on the line it began on ends with that line; a line
  // that held no "<STMTTRN>" began no transaction after all.
  void EndOfLine() {
    if (open_ && open_->in_doubt) open_.reset();
    if (open_ && open_->began_on_this_line && open_->type && open_->date &&
        open_->amount && (open_->name || open_->payee_name)) {
      Close();
    }
    if (open_) open_->began_on_this_line = false;
  }

  // A value of a field of the open transaction, or an account outside one.
  void Take(const Taker& taker, const Value& value) {
    const std::string text = RegisterText(value, utf8_);
    if (taker.field) {
      return investment_.Take(*taker.field, text, RegisterText(value, false));
    }
    const std::string& key = taker.bank_key;
    if (text.empty()) return;
    if (!open_) {
      if (key == "ACCTID") SetAccount(text);
      return;
    }
    const Value kept{text, std::vector<bool>(text.size(), false)};
    if (key == "TRNTYPE") open_->type = kept;
    if (key == "TRNAMT" && HoldsDigit(text)) open_->amount = kept;
    if (key == "NAME") (open_->in_payee ? open_->payee_name : open_->name) = kept;
    if (key == "MEMO") open_->memo = kept;
    if (key == "DTPOSTED") {
      if (const std::optional<QifDate> date = PostedDate(text)) {
        open_->date = std::string(date->view());
      }
    }
  }

  void Close() {
    const Transaction& t = *open_;
    if (t.in_doubt) {
      // neither written nor counted
    } else if (t.type && t.date && t.amount) {
      const std::string payee = t.name         ? t.name->text
                                : t.payee_name ? t.payee_name->text
                                : t.memo       ? t.memo->text
                                               : "";
      AddRecord(t.statement,
                testing_support::Record(*t.date, payee, t.amount->text, t.type->text));
    } else {
      ++failed_;
    }
    open_.reset();
  }

  bool utf8_;
  InvestmentReader investment_;
  std::uint64_t failed_ = 0;
  std::optional<Transaction> open_;
  std::optional<Taker> pending_;  // a field waiting for the next line's text
  std::vector<Statement> statements_;
  // The records of each statement in turn (0: before any statement).
  std::vector<std::pair<size_t, std::string>> blocks_;
};

}  // namespace

std::string ReferenceConvert(std::string_view input, std::uint64_t* failed_count,
                             bool utf8) {
  Reader reader(utf8);
  for (const Units& line : Lines(Read(input))) reader.Line(line);
  reader.End();
  std::string out = reader.Register();
  if (failed_count) *failed_count = reader.failed();
  return out;
}

}  // namespace ledgerlift::testing_reference
