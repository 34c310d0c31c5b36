#include <gtest/gtest.h>

#include "applauncher-check/TerminalText.h"

TEST(TerminalTextTest, ControlsAndInvalidBytesAreEscaped) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"plain /path: ok\\", "plain /path: ok\\"},
      {"a\tb\r\nc", "a\\tb\\r\\nc"},
      {std::string("\0\x1b[2J\x7f", 6), "\\x00\\x1b[2J\\x7f"},
      {"\xc2\x9b"
       "1m\xc2\x85",
       "\\xc2\\x9b1m\\xc2\\x85"},                             // C1 as UTF-8
      {"\x9b\xff\xc3", "\\x9b\\xff\\xc3"},                    // not UTF-8
      {"\xc0\xaf\xed\xa0\x80", "\\xc0\\xaf\\xed\\xa0\\x80"},  // overlong, surrogate
      {"\xc2\xa0\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
       "\xc2\xa0\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, forTerminal(c.text)) << c.shown;
}
