#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ledgerlift::bench {

// How the transactions of a generated statement are laid out in lines.
enum class Layout {
  kOnePerLine,  // each <STMTTRN>...</STMTTRN> on a line of its own
  kOneLine,     // the whole body after the header on one line
  kMultiLine,   // every tag on its own line, as most banks' SGML files
  kIndented,    // the same, each tag indented by tabs by its depth
  kXml,         // OFX 2 XML: every element closed, indented by blanks
  // A brokerage account's investment statement, one tag per line as
  // brokerages send it: trades, income, cash, its security list.
  kInvestment,
};

// "lines", "one-line", "multi-line", "indented", "xml", "invest", and back.
std::optional<Layout> ParseLayout(std::string_view name);
std::string_view LayoutName(Layout layout);
// The layouts of bank statements, whose transactions are the same in each.
inline constexpr Layout kAllLayouts[] = {Layout::kOnePerLine, Layout::kOneLine,
                                         Layout::kMultiLine, Layout::kIndented,
                                         Layout::kXml};
// And with the investment statement.
inline constexpr Layout kEveryLayout[] = {Layout::kOnePerLine, Layout::kOneLine,
                                          Layout::kMultiLine,  Layout::kIndented,
                                          Layout::kXml,        Layout::kInvestment};

struct StatementOptions {
  std::uint64_t count = 1000;  // transactions
  std::uint64_t seed = 1;
  Layout layout = Layout::kOnePerLine;
  std::string_view line_end = "\r\n";
};

// Writes a realistic QFX bank statement: the OFX header lines, the sign-on
// and account blocks, `count` transactions with varied types, amounts, dates
// (with and without time and time zone), payees and memos (some, as some
// banks send them, with the payee in MEMO and no NAME), and the closing
// balance. The transactions are the same in every bank layout. The
// investment layout writes `count` trades, income and cash transactions of
// a brokerage account instead, in two dozen securities. The same options always give
// the same bytes, on every platform. The text arrives in pieces of about 1 MiB, so a
// statement of any size can be written without being held in memory.
void WriteStatement(const StatementOptions& options,
                    const std::function<void(std::string_view)>& write);

// The whole statement as one text.
std::string GenerateStatement(const StatementOptions& options);

}  // namespace ledgerlift::bench
