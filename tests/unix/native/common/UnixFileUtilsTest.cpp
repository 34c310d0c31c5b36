#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"

class UnixFileUtilsTest : public ::testing::Test {
 protected:
  TempDir tmp;
};

TEST_F(UnixFileUtilsTest, IsFileExists) {
  writeFile(tmp / "file", "x");
  makeDirs(tmp / "dir");
  ASSERT_EQ(0, symlink((tmp / "missing").c_str(), (tmp / "dangling").c_str()));
  ASSERT_EQ(0, symlink((tmp / "file").c_str(), (tmp / "link").c_str()));
  EXPECT_TRUE(FileUtils::isFileExists(tmp / "file"));
  EXPECT_TRUE(FileUtils::isFileExists(tmp / "dir"));
  EXPECT_TRUE(FileUtils::isFileExists(tmp / "link"));
  EXPECT_FALSE(FileUtils::isFileExists(tmp / "dangling"));
  EXPECT_FALSE(FileUtils::isFileExists(tmp / "missing"));
  EXPECT_FALSE(FileUtils::isFileExists(""));
}

TEST_F(UnixFileUtilsTest, ToAbsolutePath) {
  EXPECT_EQ("/x", FileUtils::toAbsolutePath("/x"));
  EXPECT_EQ("\\x", FileUtils::toAbsolutePath("\\x"));
  {
    ScopedCwd cwd(tmp.path());
    EXPECT_EQ(tmp.path(), FileUtils::toAbsolutePath(""));
    EXPECT_EQ(tmp / "x", FileUtils::toAbsolutePath("x"));
    EXPECT_EQ(tmp / "x/../y", FileUtils::toAbsolutePath("x/../y"));
  }
  ScopedCwd root("/");
  EXPECT_EQ("/x", FileUtils::toAbsolutePath("x"));
}

TEST_F(UnixFileUtilsTest, ToAbsolutePathInAWorkingDirectoryOfAnyLength) {
  // Around the size of the first buffer, and several times beyond it.
  std::string dir = tmp.path();
  while (dir.size() < 4000) {
    const std::size_t missing = 1023 - dir.size() % 1024;
    dir += "/" + std::string(missing >= 2 && missing < 200 ? missing - 1 : 200, 'd');
    makeDirs(dir);
    ScopedCwd cwd(dir);
    EXPECT_EQ(dir + "/x", FileUtils::toAbsolutePath("x")) << dir.size();
  }
}

TEST_F(UnixFileUtilsTest, ToAbsolutePathFailsWhenTheWorkingDirectoryIsGone) {
  makeDirs(tmp / "gone");
  ScopedCwd cwd(tmp / "gone");
  ASSERT_EQ(0, rmdir((tmp / "gone").c_str()));
  try {
    FileUtils::toAbsolutePath("x");
    FAIL() << "expected an error";
  } catch (const LxError<std::runtime_error>& e) {
    EXPECT_EQ("getcwd() failed. Error: " + std::string(strerror(ENOENT)), e.rawMessage());
    EXPECT_EQ(0, std::string(e.what()).rfind("UnixFileUtils(", 0)) << e.what();
  }
}
