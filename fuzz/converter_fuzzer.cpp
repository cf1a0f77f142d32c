// Feeds arbitrary bytes to the converter and checks what must hold for every
// input: it reads the statement exactly as the plain reference reader of the
// tests does; the register is headers and whole records (bank and
// investment ones), valid UTF-8, whose values stand in the input, hold no
// control byte the input does not and no "<" but a decoded or CDATA one;
// the way the input is cut into blocks changes nothing; and the same
// transactions written in every layout give the same register.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fixtures.h"
#include "reference_reader.h"
#include "statement/converter.h"
#include "statement/utf8.h"
#include "statement/values.h"

namespace {

constexpr std::string_view kHeader = "!Type:Bank\r\n";

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

void Check(bool holds, const char* what) {
  if (!holds) Fail(what);
}

// Whether `value` is what the register writes for a `key` element of the
// input: the text after "key>" (at a segment's start) up to the next "<" or
// line end, or, when that is blank at the line's end, the text the next
// line opens with; blanks around it removed and references decoded.
bool IsTagInInput(std::string_view input, std::string_view key, std::string_view value) {
  const std::string tag = std::string(key) + ">";
  const auto text_from = [&](size_t from) {
    return input.substr(from, input.find_first_of("<\r\n", from) - from);
  };
  for (size_t at = input.find(tag); at != std::string_view::npos;
       at = input.find(tag, at + 1)) {
    if (at != 0 && input[at - 1] != '<' && input[at - 1] != '\r' &&
        input[at - 1] != '\n') {
      continue;
    }
    const size_t from = at + tag.size();
    std::string_view text = text_from(from);
    const size_t end = from + text.size();
    if (ledgerlift::IsBlankValue(text) && end < input.size() && input[end] != '<') {
      const bool crlf = input.substr(end, 2) == "\r\n";
      text = text_from(end + (crlf ? 2 : 1));
    }
    if (ledgerlift::ValueText(text, ledgerlift::TextEncoding::kUtf8) == value)
      return true;
  }
  return false;
}

bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const ledgerlift::Utf8Char c = ledgerlift::DecodeUtf8(text, at);
    if (c.size == 0) return false;
    at += c.size;
  }
  return true;
}

// A value of the register holds no control byte that the input does not
// hold as it is: no reference decoded into one, and no "<" unless the input
// has a reference or a CDATA section that may give one.
bool ValueStandsForTheInput(std::string_view input, std::string_view value) {
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 0x20 && input.find(c) == std::string_view::npos) {
      return false;
    }
  }
  return value.find('<') == std::string_view::npos ||
         input.find('&') != std::string_view::npos ||
         input.find("<![CDATA[") != std::string_view::npos;
}

// A date line's value: month "-" day "-" year, each a slice of a signed
// numeral (digits and ".") that may be cut short.
bool IsDateShape(std::string_view date) {
  const size_t first = date.find('-');
  const size_t second = date.find('-', first + 1);
  if (first > 2 || second == std::string_view::npos || second - first - 1 > 2 ||
      date.size() - second - 1 > 4) {
    return false;
  }
  for (size_t i = 0; i < date.size(); ++i) {
    if (i == first || i == second) continue;
    if (!((date[i] >= '0' && date[i] <= '9') || date[i] == '.')) return false;
  }
  return true;
}

// Whether `value` is a number as an investment record writes one.
bool IsFigure(std::string_view value) {
  if (value.starts_with("-")) value.remove_prefix(1);
  return !value.empty() && value.front() != '.' &&
         value.find_first_not_of("0123456789.") == std::string_view::npos;
}

// An investment record from lines[i]: its date and action, then figures
// and texts in their order, each text a value of the input (`plain`);
// returns the line after it.
size_t CheckInvestmentRecord(std::string_view input, bool plain,
                             const std::vector<std::string_view>& lines, size_t i) {
  constexpr std::string_view kActions[] = {
      "Buy",     "CvrShrt", "Sell",     "ShtSell",  "Div",      "IntInc",  "CGLong",
      "CGShort", "MiscInc", "ReinvDiv", "ReinvInt", "ReinvLg",  "ReinvSh", "ShrsIn",
      "ShrsOut", "MiscExp", "MargInt",  "RtrnCap",  "StkSplit", "XIn",     "XOut"};
  Check(i + 2 < lines.size() && lines[i].starts_with("D") &&
            IsDateShape(lines[i].substr(1)) && lines[i + 1].starts_with("N") &&
            std::find(std::begin(kActions), std::end(kActions), lines[i + 1].substr(1)) !=
                std::end(kActions),
        "an investment record starts with its date and a known action");
  constexpr std::string_view kOrder = "YIQTOPM";
  size_t last = 0;
  for (i += 2; i < lines.size() && lines[i] != "^"; ++i) {
    const size_t at = kOrder.find(lines[i].substr(0, 1));
    Check(!lines[i].empty() && at != std::string_view::npos && at >= last &&
              lines[i].size() > 1,
          "an investment record's lines are Y, I, Q, T, O, P, M, in that order");
    last = at + 1;
    const std::string_view value = lines[i].substr(1);
    Check(ValueStandsForTheInput(input, value),
          "an investment record's values as the input allows");
    if (lines[i][0] == 'Y') {
      Check(!plain || IsTagInInput(input, "SECNAME", value) ||
                IsTagInInput(input, "TICKER", value) ||
                IsTagInInput(input, "UNIQUEID", value),
            "the Y line is a SECNAME, TICKER or UNIQUEID value of the input");
    } else if (lines[i][0] == 'P' || lines[i][0] == 'M') {
      Check(!plain || IsTagInInput(input, lines[i][0] == 'P' ? "NAME" : "MEMO", value),
            "the P and M lines are NAME and MEMO values of the input");
    } else {
      Check(IsFigure(value), "I, Q, T and O are numbers");
    }
  }
  Check(i < lines.size(), "an investment record ends with ^");
  return i + 1;
}

// The register: records under type headers, each block of an account
// after its account header. Without comments and CDATA sections in the
// input, every value stands in it as it was.
void CheckRegister(std::string_view input, std::string_view text) {
  Check(IsUtf8(text), "the register is valid UTF-8");
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find("\r\n");
    Check(end != std::string_view::npos, "every output line ends in CR LF");
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 2);
  }
  const bool plain = input.find("<!") == std::string_view::npos;
  bool investment = false;  // in an investment account's block
  for (size_t i = 0; i < lines.size();) {
    if (lines[i] == "!Account") {
      Check(i + 4 < lines.size() && lines[i + 1].substr(0, 1) == "N" &&
                (lines[i + 2] == "TBank" || lines[i + 2] == "TCCard" ||
                 lines[i + 2] == "TInvst") &&
                lines[i + 3] == "^" &&
                lines[i + 4] == "!Type:" + std::string(lines[i + 2].substr(1)),
            "an account header names the account and its type");
      investment = lines[i + 2] == "TInvst";
      i += 5;
      continue;
    }
    if (lines[i].starts_with("!Type:")) {
      Check(lines[i] == "!Type:Bank", "only an account's header is of another type");
      investment = false;
      ++i;
      continue;
    }
    if (investment) {
      i = CheckInvestmentRecord(input, plain, lines, i);
      continue;
    }
    Check(i + 4 < lines.size(), "the register is a whole number of records");
    Check(lines[i].substr(0, 1) == "D" && IsDateShape(lines[i].substr(1)),
          "a record starts with its date");
    const std::string_view payee = lines[i + 1].substr(1);
    Check(lines[i + 1].substr(0, 1) == "P" &&
              (!plain || payee.empty() || IsTagInInput(input, "NAME", payee) ||
               IsTagInInput(input, "MEMO", payee)),
          "the P line is empty or a NAME or MEMO value of the input");
    const std::string_view amount = lines[i + 2].substr(1);
    Check(lines[i + 2].size() > 1 && lines[i + 2][0] == 'T' &&
              amount.find_first_of("0123456789") != std::string_view::npos &&
              (!plain || IsTagInInput(input, "TRNAMT", amount)),
          "the T line is a TRNAMT value of the input, with a digit");
    Check(lines[i + 3].size() > 1 && lines[i + 3][0] == 'M' &&
              (!plain || IsTagInInput(input, "TRNTYPE", lines[i + 3].substr(1))),
          "the M line is a TRNTYPE value of the input");
    Check(ValueStandsForTheInput(input, payee) && ValueStandsForTheInput(input, amount) &&
              ValueStandsForTheInput(input, lines[i + 3].substr(1)),
          "a record's values as the input allows");
    Check(lines[i + 4] == "^", "a record ends with ^");
    i += 5;
  }
}

// The input fed in blocks of sizes drawn from a generator seeded by the
// input, with empty blocks among them.
std::string ConvertInBlocks(std::string_view input, std::uint64_t* failed) {
  std::uint32_t seed = 2166136261u;
  for (unsigned char c : input) seed = (seed ^ c) * 16777619u;
  std::minstd_rand random(seed | 1);
  ledgerlift::testing_support::StringSink sink;
  ledgerlift::Converter converter(sink);
  while (!input.empty()) {
    const size_t limits[] = {1, 2, 3, 16, 70, 4096};
    const size_t size =
        std::min<size_t>(input.size(), random() % (limits[random() % 6] + 1));
    converter.Feed(input.substr(0, size));
    input.remove_prefix(size);
  }
  converter.Feed({});
  converter.Finish();
  *failed = converter.failed_count();
  return ledgerlift::InAccountBlocks(converter, std::move(sink.out));
}

// The input read as transactions: its pieces between 0xFF bytes, five to a
// transaction (type, date, amount, name, memo), without the bytes that end a
// value or that XML escapes.
using Transaction = std::array<std::string, 5>;
constexpr std::array<std::string_view, 5> kKeys = {"TRNTYPE", "DTPOSTED", "TRNAMT",
                                                   "NAME", "MEMO"};

std::vector<Transaction> TransactionsOf(std::string_view input) {
  std::vector<Transaction> transactions(1);
  size_t field = 0;
  for (char c : input) {
    if (c == '\xFF') {
      if (++field == kKeys.size()) {
        field = 0;
        transactions.emplace_back();
      }
    } else if (c != '<' && c != '>' && c != '\r' && c != '\n' && c != '&') {
      transactions.back()[field] += c;
    }
  }
  return transactions;
}

enum class Layout { kOnePerLine, kOneLine, kTagPerLine, kIndented, kXml };

std::string Write(const std::vector<Transaction>& transactions, Layout layout,
                  std::string_view end) {
  const bool per_line = layout != Layout::kOnePerLine && layout != Layout::kOneLine;
  const std::string_view tag_end = per_line ? end : "";
  const std::string_view indent = layout == Layout::kIndented ? "\t \t" : "";
  std::string text = "OFXHEADER:100";
  text += end;
  text += end;
  text += "<OFX><BANKTRANLIST>";
  text += end;
  for (const Transaction& t : transactions) {
    text += indent;
    text += "<STMTTRN>";
    text += tag_end;
    for (size_t i = 0; i < kKeys.size(); ++i) {
      text += indent;
      text += indent;
      text += "<" + std::string(kKeys[i]) + ">" + t[i];
      if (layout == Layout::kXml) text += "</" + std::string(kKeys[i]) + ">";
      text += tag_end;
    }
    text += indent;
    text += "</STMTTRN>";
    text += layout == Layout::kOneLine ? "" : end;
  }
  text += "</BANKTRANLIST><LEDGERBAL><BALAMT>1.00</LEDGERBAL></OFX>";
  text += end;
  return text;
}

void CheckLayouts(std::string_view input) {
  const std::vector<Transaction> transactions = TransactionsOf(input);
  std::uint64_t expected_failed = 0;
  const std::string expected = ledgerlift::ConvertText(
      Write(transactions, Layout::kOnePerLine, "\r\n"), &expected_failed);
  for (Layout layout : {Layout::kOnePerLine, Layout::kOneLine, Layout::kTagPerLine,
                        Layout::kIndented, Layout::kXml}) {
    for (std::string_view end : {"\r\n", "\n", "\r"}) {
      std::uint64_t failed = 0;
      Check(
          ledgerlift::ConvertText(Write(transactions, layout, end), &failed) == expected,
          "every layout gives the same register");
      Check(failed == expected_failed, "every layout gives the same failed count");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::uint64_t failed = 0;
  const std::string whole = ledgerlift::ConvertText(input, &failed);
  Check(whole.starts_with(kHeader) || whole.starts_with("!Account\r\n"),
        "the register starts with a header");
  CheckRegister(input, whole);

  std::uint64_t reference_failed = 0;
  Check(
      ledgerlift::testing_reference::ReferenceConvert(input, &reference_failed) == whole,
      "the register is the reference reader's");
  Check(reference_failed == failed, "the failed count is the reference reader's");

  std::uint64_t failed_in_blocks = 0;
  Check(ConvertInBlocks(input, &failed_in_blocks) == whole,
        "blocks of any size give the same register");
  Check(failed_in_blocks == failed, "blocks of any size give the same failed count");

  CheckLayouts(input);
  return 0;
}
