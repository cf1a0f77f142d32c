#include "statement/values.h"

#include <gtest/gtest.h>

#include <string>

namespace ledgerlift {
namespace {

// The text a register holds for a value: references decoded where they are
// SGML's and XML's own, everything else as written; as UTF-8, or the bytes
// kept.
TEST(ValueText, DecodesReferencesAndWritesUtf8) {
  const struct {
    const char* value;
    const char* utf8;
    const char* kept;  // nullptr: as utf8
  } cases[] = {
      {"PLAIN SHOP", "PLAIN SHOP", nullptr},
      {"5TH &amp; MAIN", "5TH & MAIN", nullptr},
      {"&lt;B&gt; &quot;Q&quot; &apos;s", "<B> \"Q\" 's", nullptr},
      {"&#38;&#x26;&#X26;&#0000038;", "&&&&", nullptr},
      {"&#32;&#126;", " ~", nullptr},
      // Not decoded: no reference, another entity, a control character, a
      // character outside ASCII, a numeral too long or not closed.
      {"PG&E & SONS", "PG&E & SONS", nullptr},
      {"&AMP; &nbsp; &amp", "&AMP; &nbsp; &amp", nullptr},
      {"&#10;&#13;&#x9;&#127;&#0;", "&#10;&#13;&#x9;&#127;&#0;", nullptr},
      {"&#233; &#xE9;", "&#233; &#xE9;", nullptr},
      {"&#000000038; &#; &#x; &#3g;", "&#000000038; &#; &#x; &#3g;", nullptr},
      {"&amp;amp;", "&amp;", nullptr},
      // Windows-1252 bytes become UTF-8 on Linux; UTF-8 stays as it is.
      {"TED-CR\xC9"
       "DITO",
       "TED-CR\xC3\x89"
       "DITO",
       "TED-CR\xC9"
       "DITO"},
      {"\x80 \x93x\x94 \x9F \xA0\xFF",
       "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xC5\xB8 \xC2\xA0\xC3\xBF",
       "\x80 \x93x\x94 \x9F \xA0\xFF"},
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D",
       "\x81\x8D\x8F\x90\x9D"},
      {"CAF\xC3\x89 \xE2\x82\xAC", "CAF\xC3\x89 \xE2\x82\xAC", nullptr},
      {"\xC3\x89 &amp; \xC9", "\xC3\x83\xE2\x80\xB0 & \xC3\x89", "\xC3\x89 & \xC9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValueText(c.value, TextEncoding::kUtf8), c.utf8) << c.value;
    EXPECT_EQ(ValueText(c.value, TextEncoding::kAsRead), c.kept ? c.kept : c.utf8)
        << c.value;
  }
}

}  // namespace
}  // namespace ledgerlift
