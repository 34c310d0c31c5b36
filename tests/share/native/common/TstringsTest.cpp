#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "share/native/common/TextBuilder.h"
#include "share/native/common/tstrings.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

TEST(TstringsTest, EqualsAndPrefixes) {
  EXPECT_TRUE(tstrings::equals("Abc", "aBC", tstrings::CaseInsensitive));
  EXPECT_FALSE(tstrings::equals("Abc", "aBC", tstrings::CaseSensitive));
  EXPECT_FALSE(tstrings::equals("abc", "abcd", tstrings::CaseInsensitive));
  // Only value 1 selects the case-insensitive rule.
  EXPECT_FALSE(tstrings::equals("A", "a", static_cast<tstrings::CompareType>(7)));

  for (const char* str : {"", "x", "-psn_1"}) {
    EXPECT_TRUE(tstrings::startsWith(str, "", tstrings::CaseSensitive)) << str;
    EXPECT_TRUE(tstrings::endsWith(str, "", tstrings::CaseSensitive)) << str;
  }
  EXPECT_FALSE(tstrings::startsWith("ab", "abc", tstrings::CaseSensitive));
  EXPECT_FALSE(tstrings::endsWith("bc", "abc", tstrings::CaseSensitive));
  EXPECT_TRUE(tstrings::startsWith("-splash:x", "-splash:", tstrings::CaseSensitive));
  EXPECT_FALSE(tstrings::startsWith("-SPLASH:x", "-splash:", tstrings::CaseSensitive));
  EXPECT_TRUE(tstrings::startsWith("-SPLASH:x", "-splash:", tstrings::CaseInsensitive));
  EXPECT_TRUE(tstrings::endsWith("a.CFG", ".cfg", tstrings::CaseInsensitive));
  EXPECT_FALSE(tstrings::endsWith("a.CFG", ".cfg", tstrings::CaseSensitive));
}

TEST(TstringsTest, ToLowerChangesAsciiLettersOnly) {
  EXPECT_EQ("abc-xyz 09", tstrings::toLower("AbC-XyZ 09"));
  const std::string high = "\xc3\x84\x80\xff";  // UTF-8 and other high bytes
  EXPECT_EQ(high, tstrings::toLower(high));
}

TEST(TstringsTest, Split) {
  struct Case {
    std::string str, delimiter;
    std::vector<std::string> keepAll, filtered;
  };
  const Case cases[] = {
      {"a::b", ":", {"a", "", "b"}, {"a", "b"}},
      {"a:", ":", {"a", ""}, {"a"}},
      {":", ":", {"", ""}, {}},
      {"abc", "abcd", {"abc"}, {"abc"}},
      {"aaa", "aa", {"", "a"}, {"a"}},
      {"/x:/y", ":", {"/x", "/y"}, {"/x", "/y"}},
      {"", ":", {}, {}},
      {"abc", "", {}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> keepAll{"old"};
    tstrings::split(keepAll, c.str, c.delimiter, tstrings::KeepAll);
    std::vector<std::string> expected{"old"};
    expected.insert(expected.end(), c.keepAll.begin(), c.keepAll.end());
    EXPECT_THAT(keepAll, ElementsAreArray(expected))
        << "'" << c.str << "' at '" << c.delimiter << "'";

    std::vector<std::string> filtered;
    tstrings::split(filtered, c.str, c.delimiter, tstrings::Filtered);
    EXPECT_THAT(filtered, ElementsAreArray(c.filtered))
        << "'" << c.str << "' at '" << c.delimiter << "'";
  }
}

TEST(TstringsTest, Replace) {
  struct Case {
    const char *str, *search, *replacement, *expected;
  };
  const Case cases[] = {
      {"x$Ay", "$A", "$A$A", "x$A$Ay"}, {"aaa", "aa", "b", "ba"}, {"abc", "", "x", "abc"},
      {"$A/$A", "$A", "/p", "/p//p"},   {"", "a", "b", ""},       {"abc", "abc", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, tstrings::replace(c.str, c.search, c.replacement))
        << c.str << " / " << c.search << " / " << c.replacement;
  }
}

TEST(TstringsTest, Trim) {
  EXPECT_EQ("a b", tstrings::trim("  a b  ", " "));
  EXPECT_EQ("", tstrings::trim("   ", " "));
  EXPECT_EQ("", tstrings::trim("", " "));
  EXPECT_EQ("abc", tstrings::trim("abc", ""));
  EXPECT_EQ("x", tstrings::trim("\t\n x\r\n", " \t\r\n"));
}

TEST(TstringsTest, Join) {
  const std::vector<std::string> abc{"a", "b", "c"}, one{"a"}, none, empties{"", ""};
  EXPECT_EQ("a:b:c", tstrings::join(abc.begin(), abc.end(), ":"));
  EXPECT_EQ("a", tstrings::join(one.begin(), one.end(), ":"));
  EXPECT_EQ("", tstrings::join(none.begin(), none.end(), ":"));
  EXPECT_EQ(":", tstrings::join(empties.begin(), empties.end(), ":"));
  EXPECT_EQ("a, b, c", tstrings::join(abc.begin(), abc.end(), ", "));
}

TEST(TstringsTest, UnsafeFormat) {
  EXPECT_EQ("rlx arg[3]: [x]", tstrings::unsafe_format("rlx arg[%d]: [%s]", 3, "x"));
  EXPECT_EQ("", tstrings::unsafe_format("%s", ""));
  for (std::size_t len : {255u, 256u, 257u, 1000u, 70000u}) {
    const std::string longText(len, 'q');
    const std::string result = tstrings::unsafe_format("<%s>", longText.c_str());
    EXPECT_EQ("<" + longText + ">", result) << len;
    EXPECT_EQ(len + 2, result.size()) << len;
  }
  // Through a pointer to the function, which the compiler's format check cannot follow.
  std::string (*format)(const char*, ...) = tstrings::unsafe_format;
  try {
    (void)format(nullptr);
    FAIL() << "a null format must throw";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ("Destination buffer can't be NULL", e.what());
  }
}

TEST(TstringsTest, TextBuilderAppendsLikeAStream) {
  tstrings::any text("a");
  text << 1 << std::string("b") << ' ' << -42;
  EXPECT_EQ("a1b -42", text.str());
  EXPECT_EQ("a1b -42", text.str());  // str() leaves the builder usable
  text << "c";
  EXPECT_EQ("a1b -42c", text.str());
  EXPECT_EQ("", tstrings::any().str());
  EXPECT_EQ("s", tstrings::any(std::string("s")).str());
  const void* pointer = reinterpret_cast<const void*>(0x1234);
  EXPECT_EQ("0x1234", (tstrings::any() << pointer).str());
}
