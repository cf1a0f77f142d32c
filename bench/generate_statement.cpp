// generate_statement: writes a realistic QFX statement for benchmarks and
// tests. Usage: generate_statement COUNT LAYOUT [SEED] > statement.qfx
// LAYOUT is lines, one-line, multi-line, indented or xml (a bank statement), or invest (a
// brokerage account's investment statement); the same arguments always give the same
// bytes.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "statement_generator.h"

namespace {

bool ParseNumber(std::string_view text, std::uint64_t& number) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

int Usage() {
  std::fputs(
      "usage: generate_statement COUNT lines|one-line|multi-line|indented|xml|invest "
      "[SEED]\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace ledgerlift::bench;
  if (argc < 3 || argc > 4) return Usage();
  StatementOptions options;
  const std::optional<Layout> layout = ParseLayout(argv[2]);
  if (!ParseNumber(argv[1], options.count) || !layout ||
      (argc == 4 && !ParseNumber(argv[3], options.seed))) {
    return Usage();
  }
  options.layout = *layout;
  bool failed = false;
  WriteStatement(options, [&failed](std::string_view piece) {
    if (!failed && std::fwrite(piece.data(), 1, piece.size(), stdout) != piece.size()) {
      failed = true;
    }
  });
  if (failed || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "generate_statement: cannot write: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}
