// Text from files and paths on stderr: nothing a terminal acts on gets through, readable text does.
#include "platform/printable_text.h"

#include <gtest/gtest.h>

namespace {

TEST(PrintableText, ShowsControlsAsEscapesAndReplacesBrokenUtf8) {
  const struct {
    const char* what;
    std::string text, shown;
  } cases[] = {
      {"plain ASCII", "x,y,z 1.5 ~", "x,y,z 1.5 ~"},
      {"Japanese", "ファイルが見つかりません", "ファイルが見つかりません"},
      {"ESC, BEL: a title change", "a\x1b]0;PWNED\x07z", "a\\x1b]0;PWNED\\x07z"},
      {"TAB, line feed, NUL, DEL", std::string("\t\n\0\x7f", 4), "\\x09\\x0a\\x00\\x7f"},
      {"raw C1 byte", "[\x9bm", "[\\x9bm"},
      {"UTF-8 C1: U+009D, U+0080; U+00A0 is kept", "\xc2\x9d]52;c\xc2\x80\xc2\xa0", "\\x9d]52;c\\x80\xc2\xa0"},
      {"invalid bytes", "a\xff\xc0z\xbf", "a\xef\xbf\xbd\xef\xbf\xbdz\xef\xbf\xbd"},
      {"overlong slash, surrogate", "\xe0\x80\xaf|\xed\xa0\x80",
       "\xef\xbf\xbd\\x80\xef\xbf\xbd|\xef\xbf\xbd\xef\xbf\xbd\\x80"},
      {"cut short at the end", "x\xe3\x81", "x\xef\xbf\xbd"},
      {"cut short by ASCII; four bytes whole", "\xf0\x9f\x98Z\xf0\x9f\x98\x80", "\xef\xbf\xbdZ\xf0\x9f\x98\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::PrintableText(c.text), c.shown) << c.what;
}

}  // namespace
