#include "statement_generator.h"

#include <array>
#include <cstdio>

namespace ledgerlift::bench {
namespace {

constexpr size_t kPiece = 1 << 20;

// SplitMix64: tiny, fast, and the same sequence everywhere, unlike the
// standard library's distributions.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number in [0, bound).
  std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }

 private:
  std::uint64_t state_;
};

struct Kind {
  const char* type;
  bool credit;
};
constexpr std::array<Kind, 10> kKinds = {{{"DEBIT", false},
                                          {"DEBIT", false},
                                          {"POS", false},
                                          {"CREDIT", true},
                                          {"CHECK", false},
                                          {"ATM", false},
                                          {"DIRECTDEBIT", false},
                                          {"XFER", false},
                                          {"SRVCHG", false},
                                          {"DEP", true}}};

constexpr std::array<const char*, 16> kPayees = {
    "CORNER SHOP",
    "GREEN VALLEY GROCERY",
    "CITY POWER &amp; LIGHT",
    "PAYROLL ACME TOOLS",
    "ATM WITHDRAWAL 5TH &amp; MAIN",
    "TRANSFER TO SAVINGS",
    "NORTHSIDE PHARMACY",
    "RIVERBEND FUEL #221",
    "MAPLE RIDGE CU FEE",
    "HILLTOP HARDWARE",
    "ONLINE BOOKS MARKETPLACE",
    "COUNTY WATER DEPT",
    "SUNRISE CAFE",
    "METRO TRANSIT PASS",
    "HOME INSURANCE CO",
    "CAF\xC9 DU PARC"};  // a Windows-1252 byte, as the header declares

constexpr std::array<const char*, 6> kMemos = {"CARD 55",    "POS PURCHASE", "AUTOPAY",
                                               "DIRECT DEP", "ONLINE",       "REF 20394"};

// The calendar date `days` after 2011-01-01 (proleptic Gregorian).
struct Date {
  int year, month, day;
};
Date DateAfter(std::uint64_t days) {
  // Days since 0000-03-01, then the civil date of that day.
  const long z = static_cast<long>(days) + 719468 + 14975;  // 2011-01-01
  const long era = z / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  return {year, month, day};
}

// Collects the statement's text and hands it on in pieces. The statement is
// described as aggregates and elements; the layout decides where lines end,
// how they are indented and whether elements are closed.
class StatementWriter {
 public:
  StatementWriter(const StatementOptions& options,
                  const std::function<void(std::string_view)>& write)
      : options_(options), write_(write) {
    text_.reserve(kPiece + 4096);
  }

  void HeaderLine(std::string_view text) {
    text_ += text;
    text_ += options_.line_end;
  }
  void Open(std::string_view name) {
    Tag("<", name);
    EndTag();
    ++depth_;
  }
  void Close(std::string_view name) {
    --depth_;
    Tag("</", name);
    EndTag();
  }
  void Element(std::string_view name, std::string_view value) {
    Tag("<", name);
    text_ += value;
    if (options_.layout == Layout::kXml) {
      text_ += "</";
      text_ += name;
      text_ += '>';
    }
    EndTag();
  }
  // The end of a group of tags that the one-per-line layout puts on a line.
  void EndGroup() {
    if (options_.layout == Layout::kOnePerLine) text_ += options_.line_end;
    if (text_.size() >= kPiece) Flush();
  }
  void EndBody() {
    if (options_.layout == Layout::kOneLine) text_ += options_.line_end;
    Flush();
  }

 private:
  void Tag(std::string_view opening, std::string_view name) {
    if (options_.layout == Layout::kIndented) text_.append(depth_, '\t');
    if (options_.layout == Layout::kXml) text_.append(2 * depth_, ' ');
    text_ += opening;
    text_ += name;
    text_ += '>';
  }
  void EndTag() {
    if (options_.layout == Layout::kMultiLine || options_.layout == Layout::kIndented ||
        options_.layout == Layout::kXml || options_.layout == Layout::kInvestment) {
      text_ += options_.line_end;
    }
  }
  void Flush() {
    if (!text_.empty()) write_(text_);
    text_.clear();
  }

  const StatementOptions& options_;
  const std::function<void(std::string_view)>& write_;
  std::string text_;
  size_t depth_ = 0;
};

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buffer[128];
  const int length = std::snprintf(buffer, sizeof buffer, format, args...);
  return std::string(buffer, static_cast<size_t>(length));
}

std::string DateText(const Date& date) {
  return Format("%04d%02d%02d", date.year, date.month, date.day);
}

void WriteHeader(StatementWriter& out, Layout layout) {
  if (layout == Layout::kXml) {
    out.HeaderLine("<?xml version=\"1.0\" encoding=\"windows-1252\" standalone=\"no\"?>");
    out.HeaderLine(
        "<?OFX OFXHEADER=\"200\" VERSION=\"220\" SECURITY=\"NONE\" "
        "OLDFILEUID=\"NONE\" NEWFILEUID=\"NONE\"?>");
    return;
  }
  for (const char* line :
       {"OFXHEADER:100", "DATA:OFXSGML", "VERSION:102", "SECURITY:NONE",
        "ENCODING:USASCII", "CHARSET:1252", "COMPRESSION:NONE", "OLDFILEUID:NONE",
        "NEWFILEUID:NONE", ""}) {
    out.HeaderLine(line);
  }
}

void WriteStatus(StatementWriter& out) {
  out.Open("STATUS");
  out.Element("CODE", "0");
  out.Element("SEVERITY", "INFO");
  out.Close("STATUS");
}

void WriteOpening(StatementWriter& out, const Date& first, const Date& last) {
  out.Open("OFX");
  out.EndGroup();
  out.Open("SIGNONMSGSRSV1");
  out.Open("SONRS");
  WriteStatus(out);
  out.Element("DTSERVER", "20240331120000.000[-5:EST]");
  out.Element("LANGUAGE", "ENG");
  out.Open("FI");
  out.Element("ORG", "MAPLE RIDGE CU");
  out.Element("FID", "4417");
  out.Close("FI");
  out.Element("INTU.BID", "4417");
  out.Close("SONRS");
  out.Close("SIGNONMSGSRSV1");
  out.EndGroup();
  out.Open("BANKMSGSRSV1");
  out.Open("STMTTRNRS");
  out.Element("TRNUID", "1");
  WriteStatus(out);
  out.EndGroup();
  out.Open("STMTRS");
  out.Element("CURDEF", "USD");
  out.Open("BANKACCTFROM");
  out.Element("BANKID", "211274450");
  out.Element("ACCTID", "0045127739");
  out.Element("ACCTTYPE", "CHECKING");
  out.Close("BANKACCTFROM");
  out.EndGroup();
  out.Open("BANKTRANLIST");
  out.Element("DTSTART", DateText(first));
  out.Element("DTEND", DateText(last));
  out.EndGroup();
}

void WriteClosing(StatementWriter& out, const Date& last, long balance_cents) {
  out.Close("BANKTRANLIST");
  out.Open("LEDGERBAL");
  out.Element("BALAMT",
              Format("%s%ld.%02ld", balance_cents < 0 ? "-" : "",
                     std::labs(balance_cents) / 100, std::labs(balance_cents) % 100));
  out.Element("DTASOF", DateText(last));
  out.Close("LEDGERBAL");
  out.Close("STMTRS");
  out.Close("STMTTRNRS");
  out.Close("BANKMSGSRSV1");
  out.Close("OFX");
  out.EndGroup();
}

// The posting date in one of the forms banks use: the day alone, with the
// time of day, or with the time and its zone.
std::string PostedDate(const Date& date, Random& random) {
  std::string text = Format("%04d%02d%02d", date.year, date.month, date.day);
  const std::uint64_t form = random.Below(10);
  if (form >= 5) {
    text +=
        Format("%02d%02d%02d.000", static_cast<int>(random.Below(24)),
               static_cast<int>(random.Below(60)), static_cast<int>(random.Below(60)));
  }
  if (form >= 8) text += "[-5:EST]";
  return text;
}

// One transaction; returns its amount in cents.
long WriteTransaction(StatementWriter& out, std::uint64_t number, const Date& date,
                      Random& random) {
  const Kind& kind = kKinds[random.Below(kKinds.size())];
  const long cents =
      static_cast<long>(kind.credit ? 10000 + random.Below(400000)
                                    : 1 + random.Below(random.Below(8) ? 20000 : 200000));
  const std::string posted = PostedDate(date, random);
  out.Open("STMTTRN");
  out.Element("TRNTYPE", kind.type);
  out.Element("DTPOSTED", posted);
  out.Element("TRNAMT",
              Format("%s%ld.%02ld", kind.credit ? "" : "-", cents / 100, cents % 100));
  out.Element("FITID", Format("%04d%02d%02d%07llu", date.year, date.month, date.day,
                              static_cast<unsigned long long>(number % 10000000)));
  if (std::string_view(kind.type) == "CHECK") {
    const unsigned check = 1000 + static_cast<unsigned>(number % 9000);
    out.Element("CHECKNUM", Format("%u", check));
    out.Element("NAME", Format("CHECK %u", check));
  } else if (random.Below(16) == 0) {
    // Some banks leave NAME out and send the payee as the memo.
    out.Element("MEMO", kPayees[random.Below(kPayees.size())]);
  } else {
    out.Element("NAME", kPayees[random.Below(kPayees.size())]);
    if (random.Below(2)) out.Element("MEMO", kMemos[random.Below(kMemos.size())]);
  }
  out.Close("STMTTRN");
  out.EndGroup();
  return kind.credit ? cents : -cents;
}

// --- the investment statement ---------------------------------------------

struct Security {
  const char* id;  // CUSIP
  const char* name;
  const char* ticker;
  bool fund;
};
constexpr std::array<Security, 24> kSecurities = {{
    {"14753K108", "Cascade Timber Co.", "CSTB", false},
    {"667771204", "Northwind Utilities &amp; Gas Co.", "NWUG", false},
    {"86627A203", "Summit Total Market Index Fund", "SMTIX", true},
    {"02209S103", "Alder Creek Foods Inc.", "ALCF", false},
    {"37045V100", "Granite Peak Motors", "GPKM", false},
    {"594918104", "Meridian Software Corp.", "MRDS", false},
    {"717081103", "Pinecrest Pharmaceuticals", "PCRX", false},
    {"92343V104", "Verity Wireless Holdings", "VRTW", false},
    {"254687106", "Driftwood Media Group", "DRFT", false},
    {"459200101", "Ironbridge Machines", "IRBM", false},
    {"88160R101", "Tesseract Energy Partners", "TSEP", false},
    {"30231G102", "Evergreen Oil &amp; Gas", "EVOG", false},
    {"172967424", "Citadel Bay Financial", "CTBF", false},
    {"478160104", "Juniper Health Systems", "JNHS", false},
    {"931142103", "Wayfarer Retail Stores", "WAYR", false},
    {"191216100", "Copper Kettle Beverages", "CKBV", false},
    {"922908363", "Harbor Point 500 Index Admiral", "HPIAX", true},
    {"921937835", "Harbor Point Total Bond Market", "HPBTX", true},
    {"922042858", "Harbor Point Emerging Markets", "HPEMX", true},
    {"316071109", "Lighthouse Growth Fund", "LHGFX", true},
    {"64128K777", "Northstar Municipal Income", "NSMIX", true},
    {"779562107", "Redwood Dividend Growth", "RDGFX", true},
    {"46428Q109", "Quarry Gold Trust", "QGLD", false},
    {"78462F103", "Sterling Broad Market ETF", "SBMK", false},
}};

std::string Cents(long cents) {
  return Format("%s%ld.%02ld", cents < 0 ? "-" : "", std::labs(cents) / 100,
                std::labs(cents) % 100);
}

// The part of a trade every kind has: its INVTRAN and SECID.
void WriteTradeStart(StatementWriter& out, std::uint64_t number, const Date& date,
                     const Security& security, std::string_view memo) {
  out.Open("INVTRAN");
  out.Element("FITID", Format("%04d%02d%02dT%07llu", date.year, date.month, date.day,
                              static_cast<unsigned long long>(number % 10000000)));
  out.Element("DTTRADE", DateText(date) + "093000.000[-5:EST]");
  out.Element("MEMO", memo);
  out.Close("INVTRAN");
  out.Open("SECID");
  out.Element("UNIQUEID", security.id);
  out.Element("UNIQUEIDTYPE", "CUSIP");
  out.Close("SECID");
}

void WriteBuyOrSell(StatementWriter& out, std::uint64_t number, const Date& date,
                    const Security& security, bool buy, Random& random) {
  const long units = static_cast<long>(1 + random.Below(300));
  const long price = static_cast<long>(500 + random.Below(40000));  // cents
  const long commission = security.fund ? 0 : 495;
  const long value = units * price;
  const char* kind =
      security.fund ? (buy ? "BUYMF" : "SELLMF") : (buy ? "BUYSTOCK" : "SELLSTOCK");
  out.Open(kind);
  out.Open(buy ? "INVBUY" : "INVSELL");
  WriteTradeStart(out, number, date, security,
                  Format("%s %ld %s", buy ? "BUY" : "SELL", units, security.ticker));
  out.Element("UNITS", Format("%s%ld.0000", buy ? "" : "-", units));
  out.Element("UNITPRICE", Cents(price));
  if (commission) out.Element("COMMISSION", Cents(commission));
  out.Element("TOTAL", Cents(buy ? -(value + commission) : value - commission));
  out.Element("SUBACCTSEC", "CASH");
  out.Element("SUBACCTFUND", "CASH");
  out.Close(buy ? "INVBUY" : "INVSELL");
  out.Element(buy ? "BUYTYPE" : "SELLTYPE", buy ? "BUY" : "SELL");
  out.Close(kind);
}

void WriteIncome(StatementWriter& out, std::uint64_t number, const Date& date,
                 const Security& security, bool reinvested, Random& random) {
  const long cents = static_cast<long>(100 + random.Below(50000));
  const char* type = random.Below(4) ? "DIV" : "CGLONG";
  out.Open(reinvested ? "REINVEST" : "INCOME");
  WriteTradeStart(out, number, date, security,
                  Format("%s %s", reinvested ? "REINVEST" : "INCOME", type));
  out.Element("INCOMETYPE", type);
  out.Element("TOTAL", Cents(reinvested ? -cents : cents));
  out.Element("SUBACCTSEC", "CASH");
  if (reinvested) {
    const long price = static_cast<long>(1000 + random.Below(9000));
    const long milli_units = cents * 1000 / price;
    out.Element("UNITS", Format("%ld.%03ld", milli_units / 1000, milli_units % 1000));
    out.Element("UNITPRICE", Cents(price));
  } else {
    out.Element("SUBACCTFUND", "CASH");
  }
  out.Close(reinvested ? "REINVEST" : "INCOME");
}

void WriteCash(StatementWriter& out, std::uint64_t number, const Date& date,
               Random& random) {
  const bool in = random.Below(3) != 0;
  const long cents = static_cast<long>(1000 + random.Below(500000));
  out.Open("INVBANKTRAN");
  out.Open("STMTTRN");
  out.Element("TRNTYPE", in ? "CREDIT" : "DEBIT");
  out.Element("DTPOSTED", DateText(date));
  out.Element("TRNAMT", Cents(in ? cents : -cents));
  out.Element("FITID",
              Format("C%07llu", static_cast<unsigned long long>(number % 10000000)));
  out.Element("NAME", in ? "ACH DEPOSIT FROM CHECKING" : "WIRE TO CHECKING");
  out.Close("STMTTRN");
  out.Element("SUBACCTFUND", "CASH");
  out.Close("INVBANKTRAN");
}

void WriteTransfer(StatementWriter& out, std::uint64_t number, const Date& date,
                   const Security& security, Random& random) {
  out.Open("TRANSFER");
  WriteTradeStart(out, number, date, security, "TRANSFER OF SECURITIES");
  out.Element("SUBACCTSEC", "CASH");
  out.Element("UNITS",
              Format("%lu.0000", static_cast<unsigned long>(1 + random.Below(200))));
  out.Element("TFERACTION", random.Below(2) ? "IN" : "OUT");
  out.Element("POSTYPE", "LONG");
  out.Element("UNITPRICE", Cents(static_cast<long>(500 + random.Below(40000))));
  out.Close("TRANSFER");
}

void WriteInvestmentTransaction(StatementWriter& out, std::uint64_t number,
                                const Date& date, Random& random) {
  const Security& security = kSecurities[random.Below(kSecurities.size())];
  const std::uint64_t kind = random.Below(100);
  if (kind < 32) {
    WriteBuyOrSell(out, number, date, security, true, random);
  } else if (kind < 48) {
    WriteBuyOrSell(out, number, date, security, false, random);
  } else if (kind < 68) {
    WriteIncome(out, number, date, security, false, random);
  } else if (kind < 83) {
    WriteIncome(out, number, date, security, true, random);
  } else if (kind < 95) {
    WriteCash(out, number, date, random);
  } else {
    WriteTransfer(out, number, date, security, random);
  }
  out.EndGroup();
}

void WriteSecurityList(StatementWriter& out) {
  out.Open("SECLISTMSGSRSV1");
  out.Open("SECLIST");
  for (const Security& security : kSecurities) {
    out.Open(security.fund ? "MFINFO" : "STOCKINFO");
    out.Open("SECINFO");
    out.Open("SECID");
    out.Element("UNIQUEID", security.id);
    out.Element("UNIQUEIDTYPE", "CUSIP");
    out.Close("SECID");
    out.Element("SECNAME", security.name);
    out.Element("TICKER", security.ticker);
    out.Close("SECINFO");
    out.Close(security.fund ? "MFINFO" : "STOCKINFO");
  }
  out.Close("SECLIST");
  out.Close("SECLISTMSGSRSV1");
}

void WriteInvestmentStatement(StatementWriter& out, const StatementOptions& options) {
  const std::uint64_t days = options.count > 0 ? (options.count - 1) / 3 : 0;
  WriteHeader(out, options.layout);
  out.Open("OFX");
  out.Open("INVSTMTMSGSRSV1");
  out.Open("INVSTMTTRNRS");
  out.Element("TRNUID", "1");
  WriteStatus(out);
  out.Open("INVSTMTRS");
  out.Element("DTASOF", DateText(DateAfter(days)));
  out.Element("CURDEF", "USD");
  out.Open("INVACCTFROM");
  out.Element("BROKERID", "harborpointsecurities.com");
  out.Element("ACCTID", "41773902");
  out.Close("INVACCTFROM");
  out.Open("INVTRANLIST");
  out.Element("DTSTART", DateText(DateAfter(0)));
  out.Element("DTEND", DateText(DateAfter(days)));
  Random random(options.seed);
  for (std::uint64_t i = 0; i < options.count; ++i) {
    WriteInvestmentTransaction(out, i + 1, DateAfter(i / 3), random);
  }
  out.Close("INVTRANLIST");
  out.Open("INVBAL");
  out.Element("AVAILCASH", "958.65");
  out.Close("INVBAL");
  out.Close("INVSTMTRS");
  out.Close("INVSTMTTRNRS");
  out.Close("INVSTMTMSGSRSV1");
  WriteSecurityList(out);
  out.Close("OFX");
  out.EndGroup();
  out.EndBody();
}

}  // namespace

std::optional<Layout> ParseLayout(std::string_view name) {
  for (Layout layout : kAllLayouts) {
    if (LayoutName(layout) == name) return layout;
  }
  if (LayoutName(Layout::kInvestment) == name) return Layout::kInvestment;
  return std::nullopt;
}

std::string_view LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kOnePerLine:
      return "lines";
    case Layout::kOneLine:
      return "one-line";
    case Layout::kMultiLine:
      return "multi-line";
    case Layout::kIndented:
      return "indented";
    case Layout::kXml:
      return "xml";
    case Layout::kInvestment:
      return "invest";
  }
  return "";
}

void WriteStatement(const StatementOptions& options,
                    const std::function<void(std::string_view)>& write) {
  if (options.layout == Layout::kInvestment) {
    StatementWriter out(options, write);
    WriteInvestmentStatement(out, options);
    return;
  }
  // Three transactions a day, so dates advance steadily with the count.
  const std::uint64_t days = options.count > 0 ? (options.count - 1) / 3 : 0;
  StatementWriter out(options, write);
  WriteHeader(out, options.layout);
  WriteOpening(out, DateAfter(0), DateAfter(days));
  Random random(options.seed);
  long balance = 0;
  for (std::uint64_t i = 0; i < options.count; ++i) {
    balance += WriteTransaction(out, i + 1, DateAfter(i / 3), random);
  }
  WriteClosing(out, DateAfter(days), balance);
  out.EndBody();
}

std::string GenerateStatement(const StatementOptions& options) {
  std::string text;
  WriteStatement(options, [&text](std::string_view piece) { text += piece; });
  return text;
}

}  // namespace ledgerlift::bench
