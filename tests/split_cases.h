// Command lines split by the Windows rules for quoted arguments, as
// CommandLineToArgvW splits what follows the program's name: checked on any
// system against the expected arguments, and on Windows against the system.
#pragma once

#include <string>
#include <vector>

namespace ledgerlift {

struct SplitCase {
  const char* arguments;
  std::vector<std::string> split;
};

inline const SplitCase kSplitCases[] = {
    {"", {}},
    {" \t ", {}},
    {"C:\\Data\\stmt.qfx", {"C:\\Data\\stmt.qfx"}},
    // Several files dropped on the icon: each quoted when it holds blanks.
    {"\"C:\\My Files\\a b.qfx\" C:\\c.qfx \"C:\\d.qfx\"",
     {"C:\\My Files\\a b.qfx", "C:\\c.qfx", "C:\\d.qfx"}},
    {"a.qfx \t b.qfx  ", {"a.qfx", "b.qfx"}},
    // An explicit empty argument is an argument.
    {"\"\"", {""}},
    {"\"\" \"\"", {"", ""}},
    {"\"", {""}},
    // A quoted part may sit inside an argument; an open one runs to the end.
    {"C:/\"My Files\"/x.qfx", {"C:/My Files/x.qfx"}},
    {"\"a b", {"a b"}},
    // A backslash before a quote makes it a literal quote.
    {"C:\\\"My Files\"\\x.qfx", {"C:\"My", "Files\\x.qfx"}},
    // Backslashes are literal unless they stand before a quote.
    {"\\\\server\\share\\x.qfx", {"\\\\server\\share\\x.qfx"}},
    {"a\\\\\"b c\"", {"a\\b c"}},
    {"a\\\"b c", {"a\"b", "c"}},
    {"a\\\\\\\"b", {"a\\\"b"}},
    {"\"C:\\My Dir\\\\\" x", {"C:\\My Dir\\", "x"}},
    // "" inside quotes is one literal quote and ends the quoted part.
    {"\"say \"\"hi\"\".qfx\"", {"say \"hi.qfx"}},
    {"\"say \\\"hi\\\".qfx\"", {"say \"hi\".qfx"}},
    {"\"a\"\"b c\"", {"a\"b", "c"}},
    {"\"\"\"a\"\"\"", {"\"a\""}},
    {"\"\"\"\" x", {"\" x"}},
    // Non-ASCII names pass untouched (UTF-8 bytes are never blanks or quotes).
    {"\"C:\\Łódź.qfx\" 💸.qfx", {"C:\\Łódź.qfx", "💸.qfx"}},
};

}  // namespace ledgerlift
