#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "share/native/applauncher/AppLauncher.h"
#include "share/native/applauncher/ZormLauncher.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/SysInfo.h"

using ::testing::ElementsAre;

namespace {

// The test binary is the "launcher" here, so its configuration file is named after it.
std::string cfgName() { return FileUtils::basename(SysInfo::getProcessModulePath()) + ".cfg"; }

std::unique_ptr<RlxLaunchData> exported(const Zorm& zorm) {
  return std::unique_ptr<RlxLaunchData>(static_cast<RlxLaunchData*>(zorm.exportLauncher()));
}

}  // namespace

class AppLauncherTest : public ::testing::Test {
 protected:
  TempDir tmp;
  // The test binary plays the launcher, started without arguments.
  const AppLauncher unconfigured{SysInfo::getProcessModulePath(), {}};
  ScopedEnv libraryPath{"LX_TEST_LIBRARY_PATH"};
};

TEST_F(AppLauncherTest, CfgFilePathSearchOrder) {
  AppLauncher launcher = unconfigured;
  launcher.setAppDir(tmp / "app");
  EXPECT_EQ(tmp / "app/" + cfgName(), launcher.getCfgFilePath());  // missing, still returned

  writeFile(tmp / "second/" + cfgName(), "");
  launcher.addCfgSearchDir(tmp / "first").addCfgSearchDir(tmp / "second");
  RecordingAppender records;
  EXPECT_EQ(tmp / "second/" + cfgName(), launcher.getCfgFilePath());
  ASSERT_EQ(2u, records.events.size());
  EXPECT_EQ("Check [" + tmp / "first/" + cfgName() + "] file exit", records.events[0].message);
  EXPECT_EQ("getCfgFilePath", records.events[0].funcName);

  writeFile(tmp / "first/" + cfgName(), "");
  records.events.clear();
  EXPECT_EQ(tmp / "first/" + cfgName(), launcher.getCfgFilePath());
  EXPECT_EQ(1u, records.events.size());
}

TEST_F(AppLauncherTest, LibEnvVariableContainsAppDir) {
  struct Case {
    const char* value;  // null: unset
    bool contains;
  };
  const Case cases[] = {
      {nullptr, false},   {"", false},      {"/app", true},  {"/x:/app", true},
      {"/app:/x", true},  {"/app/", false}, {"/APP", false}, {"/x:/ap:/appx", false},
      {"::/app::", true},
  };
  AppLauncher launcher = unconfigured;
  launcher.setAppDir("/app").setLibEnvVariableName("LX_TEST_LIBRARY_PATH");
  for (const Case& c : cases) {
    ScopedEnv env("LX_TEST_LIBRARY_PATH");
    if (c.value) setenv("LX_TEST_LIBRARY_PATH", c.value, 1);
    EXPECT_EQ(c.contains, launcher.libEnvVariableContainsAppDir()) << (c.value ? c.value : "unset");
  }
}

TEST_F(AppLauncherTest, CreateZormLauncherBuildsTheDescription) {
  writeFile(tmp / "app/" + cfgName(),
            "[Application]\napp.mainclass=Main\napp.runtime=$ROOTDIR/rt\n"
            "[ArgOptions]\narguments=$APPDIR\narguments=$BINDIR\n");
  writeFile(tmp / "rt/lib/second", "");
  AppLauncher launcher = unconfigured;
  launcher.setAppDir(tmp / "app")
      .setRootDir(tmp.path())
      .setLibEnvVariableName("LX_TEST_LIBRARY_PATH")
      .addZormLibCandidate("lib/first")
      .addZormLibCandidate("lib/second");
  setenv("LX_TEST_LIBRARY_PATH", "/usr/lib", 1);

  const std::unique_ptr<Zorm> zorm(launcher.createZormLauncher());
  const std::unique_ptr<RlxLaunchData> data = exported(*zorm);
  const std::string exe = SysInfo::getProcessModulePath();
  EXPECT_EQ(tmp / "rt/lib/second", data->libPath);
  EXPECT_THAT(data->launchArgs, ElementsAre(exe, "-Dkelpak.app-path=" + exe, "Main", tmp / "app",
                                            FileUtils::dirname(exe)));
  EXPECT_THAT(data->envNames, ElementsAre("LX_TEST_LIBRARY_PATH"));
  EXPECT_THAT(data->envValues, ElementsAre("/usr/lib:" + tmp / "app"));
}

TEST_F(AppLauncherTest, CommandLineArgumentsReplaceConfiguredOnesUnexpanded) {
  writeFile(tmp / "app/" + cfgName(), "[Application]\napp.mainclass=Main\n");
  writeFile(tmp / "rt/lib", "");
  AppLauncher launcher(SysInfo::getProcessModulePath(),
                       SysInfo::getCommandArgs({"launcher", "-psn_1_2", "$APPDIR", "two"},
                                               SysInfo::ExcludeProgramName));
  launcher.setAppDir(tmp / "app")
      .setLibEnvVariableName("LX_TEST_LIBRARY_PATH")
      .setDefaultRuntimeDir(tmp / "rt")
      .addZormLibCandidate("lib");
  const std::unique_ptr<Zorm> zorm(launcher.createZormLauncher());
  const std::unique_ptr<RlxLaunchData> data = exported(*zorm);
  ASSERT_EQ(5u, data->launchArgs.size());
  EXPECT_EQ("$APPDIR", data->launchArgs[3]);
  EXPECT_EQ("two", data->launchArgs[4]);
  // Unset variable: the application directory alone, never an empty entry.
  EXPECT_THAT(data->envValues, ElementsAre(tmp / "app"));
}

TEST_F(AppLauncherTest, FailuresLeaveNoDescription) {
  AppLauncher launcher = unconfigured;
  launcher.setAppDir(tmp / "app").setDefaultRuntimeDir(tmp / "rt").addZormLibCandidate("lib");
  try {
    delete launcher.createZormLauncher();
    FAIL() << "a missing configuration must fail";
  } catch (const LxError<std::runtime_error>& e) {
    EXPECT_THAT(e.rawMessage(), ::testing::StartsWith("Error opening \"" + tmp / "app/"));
  }
  writeFile(tmp / "app/" + cfgName(), "[Application]\napp.mainclass=Main\n");
  RecordingAppender records;
  try {
    delete launcher.createZormLauncher();
    FAIL() << "a missing runtime library must fail";
  } catch (const LxError<std::runtime_error>& e) {
    EXPECT_EQ("Failed to find ZORM in \"" + tmp / "rt" + "\" directory.",
              std::string(e.rawMessage()));
  }
  // The description made before the failure is gone again.
  ASSERT_GE(records.events.size(), 2u);
  EXPECT_THAT(records.events.back().message,
              ::testing::MatchesRegex("Zorm\\(0x[0-9a-f]+\\)::~Zorm\\(\\)"));
  EXPECT_EQ(
      "Property \"app.runtime\" not found in \"Application\" section of launcher config "
      "file. Using Vexa runtime from \"" +
          tmp / "rt" + "\" directory",
      records.events[records.events.size() - 2].message);
}

TEST_F(AppLauncherTest, EmptyOrRelativeRuntimeDirectoryCountsFromTheRoot) {
  writeFile(tmp / "root/lib", "");
  writeFile(tmp / "root/rt/lib", "");
  const std::string cfg = tmp / "app/" + cfgName();
  AppLauncher launcher = unconfigured;
  launcher.setAppDir(tmp / "app").setRootDir(tmp / "root").addZormLibCandidate("lib");
  const struct {
    const char* runtime;
    std::string library;  // empty: not found
  } cases[] = {
      {"", tmp / "root/lib"},
      {"rt", tmp / "root/rt/lib"},
      {"./rt/", tmp / "root/./rt/lib"},
      {"missing", ""},
  };
  for (const auto& c : cases) {
    writeFile(cfg, std::string("[Application]\napp.runtime=") + c.runtime);
    try {
      const std::unique_ptr<Zorm> zorm(launcher.createZormLauncher());
      EXPECT_EQ(c.library, exported(*zorm)->libPath) << "'" << c.runtime << "'";
    } catch (const LxError<std::runtime_error>& e) {
      EXPECT_EQ("", c.library) << "'" << c.runtime << "': " << e.rawMessage();
      EXPECT_EQ("Failed to find ZORM in \"" + tmp / "root/missing" + "\" directory.",
                std::string(e.rawMessage()));
    }
  }
}
