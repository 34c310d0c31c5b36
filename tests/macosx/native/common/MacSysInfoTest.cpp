#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Process.h"
#include "TestSupport.h"
#include "e2e/Bundle.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/SysInfo.h"

extern char** environ;

namespace {

std::vector<char> withNul(const std::string& path) {
  std::vector<char> chars(path.begin(), path.end());
  chars.push_back('\0');
  return chars;
}

// The directory as getcwd reports it inside it: links in it resolved.
std::string physical(const std::string& dir) {
  char* resolved = realpath(dir.c_str(), nullptr);
  const std::string result = resolved ? resolved : "";
  free(resolved);
  return result;
}

void makeLink(const std::string& target, const std::string& link) {
  ASSERT_EQ(0, symlink(target.c_str(), link.c_str())) << link << ": " << strerror(errno);
}

// Starts `path` (as given, no search) in the current working directory and
// returns what it printed; fails the test unless it exits with 0.
std::string runProbe(const std::string& path) {
  Environment env;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    env[text.substr(0, text.find('='))] = text.substr(text.find('=') + 1);
  }
  ProcessResult result = runProcess(path, {"probe"}, env);
  EXPECT_TRUE(result.exited && result.status == 0) << path << ": " << result.err;
  if (!result.out.empty() && result.out.back() == '\n') result.out.pop_back();
  return result.out;
}

}  // namespace

TEST(MacSysInfoTest, CommandLineStartsEmpty) {
  EXPECT_EQ(0, SysInfo::argc);
  EXPECT_EQ(nullptr, SysInfo::argv);
  EXPECT_TRUE(SysInfo::getCommandArgs(SysInfo::IncludeProgramName).empty());
  EXPECT_TRUE(SysInfo::getCommandArgs(SysInfo::ExcludeProgramName).empty());
}

TEST(MacSysInfoTest, GetCommandArgs) {
  using Args = std::vector<std::string>;
  const struct {
    Args argv;
    int mode;
    Args expected;
  } cases[] = {
      {{"prog"}, SysInfo::ExcludeProgramName, {}},
      {{"prog"}, SysInfo::IncludeProgramName, {"prog"}},
      {{"prog", "a", "b"}, SysInfo::ExcludeProgramName, {"a", "b"}},
      {{"prog", "a", "b"}, SysInfo::IncludeProgramName, {"prog", "a", "b"}},
      // Only 1 leaves the program name out.
      {{"prog", "a"}, 2, {"prog", "a"}},
      {{"prog", "a"}, -1, {"prog", "a"}},
      {{"prog", "-psn_0_12345", "a", "-psn_", "b", "-psn_x"},
       SysInfo::ExcludeProgramName,
       {"a", "b"}},
      {{"prog", "-psn", "-PSN_1", "--psn_1", "x-psn_", "-psn_1"},
       SysInfo::ExcludeProgramName,
       {"-psn", "-PSN_1", "--psn_1", "x-psn_"}},
      // The program name is tested like any other argument.
      {{"-psn_1", "a"}, SysInfo::IncludeProgramName, {"a"}},
      {{"prog", "", "a"}, SysInfo::ExcludeProgramName, {"", "a"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, SysInfo::getCommandArgs(
                              c.argv, static_cast<SysInfo::CommandArgProgramNameMode>(c.mode)))
        << ::testing::PrintToString(c.argv) << " mode " << c.mode;
  }
}

class GetRealPathTest : public ::testing::Test {
 protected:
  TempDir tmp;
};

TEST_F(GetRealPathTest, PathThatIsNotALinkIsReturnedAsGiven) {
  writeFile(tmp / "file", "x");
  makeDirs(tmp / "dir");
  ScopedCwd cwd(tmp.path());
  for (const std::string& path : {tmp / "file", tmp / "dir", std::string("file"),
                                  std::string("./dir/../file"), tmp / "dir/"}) {
    EXPECT_EQ(path, SysInfo::getRealPath(withNul(path))) << path;
  }
}

TEST_F(GetRealPathTest, LinkGivesItsTargetAsStored) {
  writeFile(tmp / "dir/file", "x");
  const std::string longTarget = std::string(1500, 'a') + "/" + std::string(1500, 'b');
  const struct {
    std::string link;
    std::string target;
  } cases[] = {
      {"absolute", tmp / "dir/file"},
      {"relative", "dir/file"},
      {"dotted", "../" + FileUtils::basename(tmp.path()) + "/./dir//file"},
      {"dangling", "missing/file"},
      {"to-link", "absolute"},
      // Around the size of the first read buffer, and well beyond it.
      {"t1023", std::string(1023, 'c')},
      {"t1024", std::string(1024, 'd')},
      {"t1025", std::string(1025, 'e')},
      {"long", longTarget},
  };
  for (const auto& c : cases) {
    makeLink(c.target, tmp / c.link);
    EXPECT_EQ(c.target, SysInfo::getRealPath(withNul(tmp / c.link))) << c.link;
  }
}

TEST_F(GetRealPathTest, MissingPathThrows) {
  const std::string missing = tmp / "missing";
  for (const std::string& path : {missing, std::string()}) {
    try {
      SysInfo::getRealPath(withNul(path));
      ADD_FAILURE() << "no error for '" << path << "'";
    } catch (const LxError<std::runtime_error>& e) {
      EXPECT_EQ("lstat(" + path + ") failed. Error: " + strerror(ENOENT), e.rawMessage());
      EXPECT_EQ(0, std::string(e.what()).rfind("MacSysInfo(", 0)) << e.what();
    }
  }
  // Without even the NUL the path counts as empty.
  EXPECT_THROW(SysInfo::getRealPath({}), LxError<std::runtime_error>);
}

// The probe is started for real, so the path comes from the platform the way
// the launcher's own start would deliver it.
class ProcessModulePathTest : public ::testing::Test {
 protected:
  const std::string probe = LX_MODULE_PATH_PROBE;
  TempDir tmp;
};

TEST_F(ProcessModulePathTest, ExecutableStartedByAbsolutePath) {
  ScopedCwd cwd(tmp.path());
  EXPECT_EQ(probe, runProbe(probe));
}

TEST_F(ProcessModulePathTest, RelativeStartIsJoinedToTheWorkingDirectoryWithoutDots) {
  const std::string dir = FileUtils::dirname(probe);
  const std::string name = FileUtils::basename(probe);
  ScopedCwd cwd(dir);
  for (const std::string& started : {"./" + name, "../" + FileUtils::basename(dir) + "/" + name,
                                     "." + std::string("//") + name}) {
    EXPECT_EQ(physical(dir) + "/" + name, runProbe(started)) << started;
  }
}

TEST_F(ProcessModulePathTest, LinkWithAbsoluteTargetGivesTheTarget) {
  makeLink(probe, tmp / "link");
  EXPECT_EQ(probe, runProbe(tmp / "link"));
}

TEST_F(ProcessModulePathTest, RelativeTargetCountsFromTheLinksDirectory) {
  makeDirs(tmp / "links/bin");
  makeDirs(tmp / "work");
  copyFile(probe, tmp / "links/bin/real", 0755);
  makeLink("bin/real", tmp / "links/start");
  makeLink("../links/./bin//real", tmp / "links/dotted");
  // A planted "bin/real" in the working directory must not be taken.
  makeLink(probe, tmp / "work/bin");
  const struct {
    std::string cwd;
    std::string started;
    std::string expected;
  } cases[] = {
      {tmp / "work", tmp / "links/start", tmp / "links/bin/real"},
      {tmp / "work", tmp / "links/dotted", tmp / "links/bin/real"},
      {tmp / "links", "start", physical(tmp / "links") + "/bin/real"},
      {tmp / "work", "../links/start", physical(tmp.path()) + "/links/bin/real"},
  };
  for (const auto& c : cases) {
    ScopedCwd cwd(c.cwd);
    EXPECT_EQ(c.expected, runProbe(c.started)) << c.started << " in " << c.cwd;
  }
}

TEST_F(ProcessModulePathTest, LinksAreFollowedToTheEndAsTheKernelFollowsThem) {
  // l0 links to the probe, every further one to the one before.
  makeLink(probe, tmp / "l0");
  for (int i = 1; i <= 40; ++i) {
    makeLink("l" + std::to_string(i - 1), tmp / ("l" + std::to_string(i)));
  }
  EXPECT_EQ(probe, runProbe(tmp / "l2"));
  EXPECT_EQ(probe, SysInfo::getExecutablePath(withNul(tmp / "l39")));
  try {
    SysInfo::getExecutablePath(withNul(tmp / "l40"));
    ADD_FAILURE() << "41 links followed";
  } catch (const LxError<std::runtime_error>& e) {
    EXPECT_EQ("readlink(" + tmp / "l0" + ") failed. Error: " + strerror(ELOOP), e.rawMessage());
  }
}
