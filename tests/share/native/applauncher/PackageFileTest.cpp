#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "TestSupport.h"
#include "share/native/applauncher/PackageFile.h"
#include "share/native/common/ErrorHandling.h"

class PackageFileTest : public ::testing::Test {
 protected:
  TempDir tmp;
};

TEST_F(PackageFileTest, NameIsTheFirstLineByteForByte) {
  struct Case {
    std::string content;
    std::string name;
  };
  const Case cases[] = {
      {"com.example\n", "com.example"},
      {"com.example", "com.example"},
      {"com.example\r\n", "com.example\r"},
      {" spaced \nsecond\nthird\n", " spaced "},
      {"\nsecond\n", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    writeFile(tmp / ".package", c.content);
    EXPECT_EQ(c.name, PackageFile::loadFromAppDir(tmp.path()).getPackageName())
        << "'" << c.content << "'";
  }
}

TEST_F(PackageFileTest, MissingDescriptorIsNoErrorAndLogsNothing) {
  RecordingAppender records;
  EXPECT_EQ("", PackageFile::loadFromAppDir(tmp.path()).getPackageName());
  EXPECT_EQ("", PackageFile::loadFromAppDir(tmp / "missing").getPackageName());
  EXPECT_TRUE(records.events.empty());
}

TEST_F(PackageFileTest, TraceRecords) {
  RecordingAppender records;
  writeFile(tmp / ".package", "\nlater\n");
  PackageFile::loadFromAppDir(tmp.path());
  writeFile(tmp / ".package", "pkg\n");
  PackageFile::loadFromAppDir(tmp.path());
  ASSERT_EQ(4u, records.events.size());
  EXPECT_EQ("Read \"" + tmp / ".package" + "\" package file", records.events[0].message);
  EXPECT_EQ("Package name is []", records.events[1].message);
  EXPECT_EQ("Package name is [pkg]", records.events[3].message);
  EXPECT_EQ("PackageFile", records.events[3].fileName);
  EXPECT_EQ("loadFromAppDir", records.events[3].funcName);
}

TEST_F(PackageFileTest, DescriptorThatIsNoRegularFileOrNamesWithANulFails) {
  const std::string path = tmp / ".package";
  const std::string opening = "Error opening \"" + path + "\" file: ";
  struct Case {
    const char* label;
    std::function<void()> make;
    std::string message;
  };
  const Case cases[] = {
      {"a directory", [&] { makeDirs(path); }, opening + std::strerror(EISDIR)},
      // Opened without blocking: a FIFO without a writer does not hang.
      {"a FIFO", [&] { ASSERT_EQ(0, mkfifo(path.c_str(), 0644)); }, opening + "Not a regular file"},
      {"a link to a device", [&] { ASSERT_EQ(0, symlink("/dev/zero", path.c_str())); },
       opening + "Not a regular file"},
      {"a NUL in the first line", [&] { writeFile(path, std::string("com\0x\n", 6)); },
       "Error reading \"" + path + "\" file: The package name contains a NUL character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    rmdir(path.c_str());
    unlink(path.c_str());
    c.make();
    try {
      PackageFile::loadFromAppDir(tmp.path());
      ADD_FAILURE() << "no error";
    } catch (const LxError<std::runtime_error>& e) {
      EXPECT_EQ(c.message, e.rawMessage());
    }
  }
}

TEST_F(PackageFileTest, UnreadableDescriptorFails) {
  writeFile(tmp / ".package", "pkg\n");
  ASSERT_EQ(0, chmod((tmp / ".package").c_str(), 0));
  ASSERT_EQ(0, chmod(tmp.path().c_str(), 0755));
  const std::string expected =
      "Error opening \"" + tmp / ".package" + "\" file: " + std::strerror(EACCES);
  // Root reads files whatever their permissions: the check then runs in a
  // child that has given up root, and reports through its exit status.
  const pid_t pid = geteuid() == 0 ? fork() : 0;
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const bool child = geteuid() == 0;
    if (child && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    std::string message;
    try {
      PackageFile::loadFromAppDir(tmp.path());
    } catch (const LxError<std::runtime_error>& e) {
      message = e.rawMessage();
    }
    if (child) _exit(message == expected ? 0 : 1);
    EXPECT_EQ(expected, message);
    return;
  }
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status)) << "1: wrong message, 2: could not give up root";
}
