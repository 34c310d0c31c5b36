#include <gtest/gtest.h>

#include "share/native/common/FileUtils.h"

namespace {

struct Case {
  const char* input;
  const char* expected;
};

}  // namespace

TEST(FileUtilsTest, Dirname) {
  const Case cases[] = {
      {"", ""},
      {"a", ""},
      {".", ""},
      {"/", ""},
      {"/a", ""},
      {"/a/b", "/a"},
      {"a/b/", "a/b"},
      {"a//b", "a"},
      {"a\\b", "a"},
      {"a/b/.", "a"},
      {"/a/b/./", "/a/b/."},
      {"X.app/Contents/MacOS/X", "X.app/Contents/MacOS"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, FileUtils::dirname(c.input)) << c.input;
}

TEST(FileUtilsTest, Basename) {
  const Case cases[] = {
      {"", ""}, {"a/", ""}, {"a", "a"}, {"/a/b", "b"}, {"x\\a/b", "b"}, {"a\\b", "b"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, FileUtils::basename(c.input)) << c.input;
}

TEST(FileUtilsTest, Suffix) {
  const Case cases[] = {
      {"a", ""},
      {"a.b/c", ""},
      {"..", ""},
      {"x/..", ""},
      {"..x", ""},
      {"x/..y", ""},
      {"a.txt", ".txt"},
      {"a/b.txt", ".txt"},
      {"a.tar.gz", ".gz"},
      {".profile", ".profile"},
      {"a/.profile", ".profile"},
      {"file.", "."},
      {".", "."},
      {"a/.", "."},
      {"a..", "."},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, FileUtils::suffix(c.input)) << c.input;
}

TEST(FileUtilsTest, CombinePath) {
  struct Pair {
    const char *parent, *child, *expected;
  };
  const Pair cases[] = {
      {"", "b", "b"},       {"a", "", "a"},       {"a", "b", "a/b"},
      {"a/", "b", "a/b"},   {"a//", "/b", "a/b"}, {"a\\", "\\b", "a/b"},
      {"a", "//b", "a//b"}, {"/", "b", "/b"},     {"", "", ""},
  };
  for (const Pair& c : cases) {
    EXPECT_EQ(c.expected, FileUtils::combinePath(c.parent, c.child))
        << "'" << c.parent << "' + '" << c.child << "'";
  }
}

TEST(FileUtilsTest, RemoveTrailingSlashAndNormalize) {
  const Case trailing[] = {{"/", ""}, {"//", ""}, {"a/\\/", "a"}, {"", ""}, {"/a/b", "/a/b"}};
  for (const Case& c : trailing) {
    EXPECT_EQ(c.expected, FileUtils::removeTrailingSlash(c.input)) << c.input;
  }
  EXPECT_EQ("a/b//c", FileUtils::normalizePath("a\\b\\\\c"));
  EXPECT_EQ("/x/../y", FileUtils::normalizePath("/x/../y"));
}

TEST(FileUtilsTest, RemoveDotComponents) {
  const Case cases[] = {
      {"/", "/"},
      {"/a/b", "/a/b"},
      {"/a/./b/.", "/a/b"},
      {"/a/../b", "/b"},
      {"/a/b/../../c/", "/c"},
      {"/..", "/"},
      {"/../a/..", "/"},
      {"//a///b//", "/a/b"},
      {"/a/..b/.c/...", "/a/..b/.c/..."},
      {"/a\\..\\b", "/a\\..\\b"},
      {"/X.app/Contents/app/../MacOS/X", "/X.app/Contents/MacOS/X"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, FileUtils::removeDotComponents(c.input)) << c.input;
  }
}

TEST(FileUtilsTest, ReplaceSuffix) {
  EXPECT_EQ("app.cfg", FileUtils::replaceSuffix("app.txt", ".cfg"));
  EXPECT_EQ("app.cfg", FileUtils::replaceSuffix("app", ".cfg"));
  EXPECT_EQ("a.b/app.cfg", FileUtils::replaceSuffix("a.b/app", ".cfg"));
  EXPECT_EQ(".cfg", FileUtils::replaceSuffix(".", ".cfg"));
}

TEST(FileUtilsTest, SeparatorsAndExeSuffix) {
  EXPECT_TRUE(FileUtils::isDirSeparator('/'));
  EXPECT_TRUE(FileUtils::isDirSeparator('\\'));
  EXPECT_FALSE(FileUtils::isDirSeparator(':'));
  EXPECT_EQ(':', FileUtils::pathSeparator);
  EXPECT_EQ("My App.v2", FileUtils::stripExeSuffix("My App.v2"));
}
