#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "share/native/applauncher/CfgFile.h"
#include "share/native/applauncher/LauncherDataSizeLimit.h"
#include "share/native/applauncher/ZormLauncher.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/SysInfo.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

CfgFile parse(const std::string& text) {
  std::istringstream in(text);
  return CfgFile::parse(in, "test.cfg");
}

std::vector<std::string> argsOf(const Zorm& zorm) {
  std::unique_ptr<RlxLaunchData> data(static_cast<RlxLaunchData*>(zorm.exportLauncher()));
  return data->launchArgs;
}

bool isLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

}  // namespace

class ZormTest : public ::testing::Test {
 protected:
  TempDir tmp;
  const std::string appPath = "-Dkelpak.app-path=" + SysInfo::getProcessModulePath();
};

TEST_F(ZormTest, ArgumentsFromTheConfiguration) {
  writeFile(tmp / "splash.png", "");
  struct Case {
    std::string cfg;
    std::vector<std::string> args;  // after "first"; "APP" stands for the app-path option
  };
  const Case cases[] = {
      {"", {"APP"}},
      {"[Application]\napp.modulepath=a\napp.modulepath=b\n",
       {"--module-path", "a", "--module-path", "b", "APP"}},
      {"[Application]\napp.classpath=a\napp.classpath=b\n", {"-classpath", "a:b", "APP"}},
      {"[Application]\napp.splash=" + tmp / "none.png\n", {"APP"}},
      {"[Application]\napp.splash=" + tmp / "splash.png\n",
       {"-splash:" + tmp / "splash.png", "APP"}},
      {"[Application]\napp.mainclass=C\napp.mainzep=z.zep\napp.mainmodule=m/M\n",
       {"APP", "-m", "m/M", "C", "-zep", "z.zep"}},
      {"[Application]\napp.mainzep=y.zep\napp.mainzep=z.zep\n"
       "app.mainmodule=l/L\napp.mainmodule=m/M\n"
       "app.splash=" + tmp / "none.png\napp.splash=" + tmp / "splash.png\n",
       {"-splash:" + tmp / "splash.png", "APP", "-m", "m/M", "-zep", "z.zep"}},
      {"[ArgOptions]\narguments=x\narguments=\n[VexaOptions]\nvexa-options=-Da\n"
       "[Application]\napp.mainclass=first\napp.mainclass=last\n",
       {"-Da", "APP", "last", "x", ""}},
      {"[AppCDSVexaOptions]\nvexa-options=-Xshare\n[Application]\napp.memory=1g\n", {"APP"}},
  };
  for (const Case& c : cases) {
    Zorm zorm;
    zorm.addLaunchArg("first").initFromConfigFile(parse(c.cfg));
    std::vector<std::string> expected{"first"};
    for (const std::string& arg : c.args) expected.push_back(arg == "APP" ? appPath : arg);
    EXPECT_THAT(argsOf(zorm), ElementsAreArray(expected)) << c.cfg;
  }
}

TEST_F(ZormTest, MissingSplashLogsAWarning) {
  RecordingAppender records;
  Zorm zorm;
  zorm.initFromConfigFile(parse("[Application]\napp.splash=/no/such.png\n"));
  bool warned = false;
  for (const LogEvent& event : records.events) {
    if (event.logLevel != "WARNING") continue;
    warned = true;
    EXPECT_EQ("Splash property ignored. File \"/no/such.png\" not found", event.message);
    EXPECT_EQ("initFromConfigFile", event.funcName);
    EXPECT_EQ("ZormLauncher", event.fileName);
  }
  EXPECT_TRUE(warned);
}

TEST_F(ZormTest, IsWithSplash) {
  Zorm none, upper, fromOptions;
  EXPECT_FALSE(none.isWithSplash());
  upper.addLaunchArg("-SPLASH:x");
  EXPECT_FALSE(upper.isWithSplash());
  fromOptions.initFromConfigFile(parse("[VexaOptions]\nvexa-options=-splash:x.png\n"));
  EXPECT_TRUE(fromOptions.isWithSplash());
}

TEST_F(ZormTest, SetEnvVariablesAndExport) {
  ScopedEnv a("LX_TEST_A"), b("LX_TEST_B");
  Zorm zorm;
  zorm.setLibPath("/lib.dylib").addLaunchArg("x").addEnvVariable("LX_TEST_A", "1");
  zorm.addEnvVariable("LX_TEST_B", "");
  zorm.setEnvVariables();
  EXPECT_STREQ("1", getenv("LX_TEST_A"));
  EXPECT_STREQ("", getenv("LX_TEST_B"));

  std::unique_ptr<RlxLaunchData> data(static_cast<RlxLaunchData*>(zorm.exportLauncher()));
  EXPECT_EQ("/lib.dylib", data->libPath);
  EXPECT_THAT(data->launchArgs, ElementsAre("x"));
  EXPECT_THAT(data->envNames, ElementsAre("LX_TEST_A", "LX_TEST_B"));
  EXPECT_THAT(data->envValues, ElementsAre("1", ""));

  Zorm bad;
  bad.addEnvVariable("A=B", "x");
  try {
    bad.setEnvVariables();
    FAIL() << "a name with '=' must fail";
  } catch (const LxError<std::runtime_error>& e) {
    EXPECT_THAT(e.rawMessage(), ::testing::StartsWith("setenv(A=B, x) failed. Error: "));
  }
}

TEST_F(ZormTest, TraceRecordsOfLifetime) {
  RecordingAppender records;
  std::string hex;
  {
    Zorm zorm;
    hex = (tstrings::any() << static_cast<const void*>(&zorm)).str();
  }
  ASSERT_EQ(2u, records.events.size());
  EXPECT_EQ("Zorm(" + hex + ")::Zorm()", records.events[0].message);
  EXPECT_EQ("Zorm(" + hex + ")::~Zorm()", records.events[1].message);
}

TEST_F(ZormTest, LaunchCallsTheEntryPointAndReleasesTheLibrary) {
  const std::string lib = tmp / "librlx.dylib";
  writeFile(lib, readFile(LX_TEST_RUNTIME_PATH));
  ScopedEnv record("RLX_TEST_RECORD", tmp / "record");
  ScopedEnv result("RLX_TEST_RESULT", "0");
  ScopedEnv variable("LX_TEST_VARIABLE");

  Zorm zorm;
  zorm.setLibPath(lib).addLaunchArg("exe").addLaunchArg("arg").addEnvVariable("LX_TEST_VARIABLE",
                                                                              "set");
  zorm.launch();
  EXPECT_FALSE(isLoaded(lib));
  EXPECT_STREQ("set", getenv("LX_TEST_VARIABLE"));
  const std::string first = readFile(tmp / "record");
  EXPECT_NE(std::string::npos, first.find("argc=2\narg=exe\narg=arg\nargv[argc]=null\n")) << first;

  // Launching again uses the same, unchanged description.
  zorm.launch();
  const std::string both = readFile(tmp / "record");
  const std::string args = "argc=2\narg=exe\narg=arg\nargv[argc]=null\n";
  EXPECT_NE(both.find(args), both.rfind(args)) << both;

  setenv("RLX_TEST_RESULT", "3", 1);
  try {
    zorm.launch();
    FAIL() << "a failing entry point must fail the launch";
  } catch (const LxError<std::runtime_error>& e) {
    EXPECT_STREQ("Failed to launch ZORM", e.rawMessage());
    EXPECT_THAT(e.what(), ::testing::MatchesRegex("ZormLauncher\\([0-9]+\\) at launch\\(\\): .*"));
  }
  EXPECT_FALSE(isLoaded(lib));
}

TEST_F(ZormTest, LaunchFailsForAMissingLibrary) {
  Zorm zorm;
  zorm.setLibPath(tmp / "none.dylib").addLaunchArg("exe");
  try {
    zorm.launch();
    FAIL() << "expected an error";
  } catch (const LxError<std::runtime_error>& e) {
    EXPECT_THAT(e.rawMessage(),
                ::testing::StartsWith("dlopen(" + tmp / "none.dylib" + ") failed. Error: "));
  }
}

TEST_F(ZormTest, LaunchFailsCleanlyWhenTheLaunchDataCannotBePrepared) {
  Zorm zorm;
  zorm.setLibPath(LX_TEST_RUNTIME_PATH).addLaunchArg("exe");
  RecordingAppender records;
  const LauncherDataSizeLimit tooSmall(48);  // below the smallest possible block
  try {
    zorm.launch();
    ADD_FAILURE() << "expected an error";
  } catch (const LxError<std::runtime_error>& e) {
    EXPECT_STREQ("Failed to prepare the launch data of ZORM", e.rawMessage());
  }
  EXPECT_FALSE(isLoaded(LX_TEST_RUNTIME_PATH));  // it never got as far as the library
  bool reported = false;
  for (const LogEvent& event : records.events) reported |= event.logLevel == "ERROR";
  EXPECT_TRUE(reported);
}
