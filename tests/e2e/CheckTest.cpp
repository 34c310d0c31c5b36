// applauncher-check end to end: real bundles, the checker run as a child
// process, its JSON parsed. One small bundle per finding code, and the plan
// compared with what the real launcher hands the test runtime.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <set>

#include "BundleTest.h"
#include "Process.h"
#include "Record.h"
#include "TestSupport.h"

using ::testing::HasSubstr;
using ::testing::IsSupersetOf;
using namespace std::string_literals;

namespace {

struct Checked {
  ProcessResult result;
  nlohmann::json json;  // null when the output is no JSON
};

std::set<std::string> codes(const nlohmann::json& json, bool withNotes) {
  std::set<std::string> found;
  for (const nlohmann::json& f : json["findings"]) {
    if (withNotes || f["severity"] != "note") found.insert(f["code"].get<std::string>());
  }
  return found;
}

// The message of the first finding with `code`, or of the last one.
std::string messageOf(const nlohmann::json& json, const std::string& code, bool last = false) {
  std::string message;
  for (const nlohmann::json& f : json["findings"]) {
    if (f["code"] != code) continue;
    message = f["message"].get<std::string>();
    if (!last) break;
  }
  return message;
}

}  // namespace

class CheckTest : public BundleTest {
 protected:
  // Runs the checker with --json and `args` in the temporary directory.
  Checked check(std::vector<std::string> args) {
    args.insert(args.begin(), {LX_CHECKER_PATH, "--json"});
    Checked checked;
    checked.result = runProcess(LX_CHECKER_PATH, args, env, tmp.path(), 60);
    checked.json = nlohmann::json::parse(checked.result.out, nullptr, false);
    if (checked.json.is_discarded()) checked.json = nullptr;
    return checked;
  }

  // The one-truth rule end to end: the plan's arguments, library and
  // library path are what the real launcher, started with `args`, hands the
  // runtime.
  void expectPlanIsTheLaunch(const Bundle& bundle, const Checked& checked,
                             const std::vector<std::string>& args = {}) {
    unlink((tmp / "record").c_str());
    const ProcessResult launch = runProcess(bundle.launcher(), commandLine(bundle, args), env);
    ASSERT_EQ(0, launch.status) << launch.err;
    const std::vector<Call> record = calls();
    ASSERT_EQ(1u, record.size());
    ASSERT_TRUE(checked.json.is_object()) << checked.result.out << checked.result.err;
    EXPECT_EQ(record[0].args, escaped(checked.json["arguments"].get<std::vector<std::string>>()));
    EXPECT_EQ(record[0].library, escaped({checked.json["library"].get<std::string>()})[0]);
    EXPECT_EQ(record[0].libraryPathVariable,
              escaped({checked.json["environment"]["DYLD_LIBRARY_PATH"].get<std::string>()})[0]);
  }
};

TEST_F(CheckTest, EachCodeComesFromItsBundle) {
  using Prepare = std::function<void(const Bundle&, const TempDir&)>;
  const auto cfg = [](const std::string& text) -> Prepare {
    return [text](const Bundle& bundle, const TempDir&) { bundle.writeCfg(text); };
  };
  const std::string minimal = kMinimalCfg;
  struct Case {
    const char* label;
    Prepare prepare;
    std::vector<std::string> options;  // before the bundle
    int status;
    std::set<std::string> expected;  // every error and warning code
    std::string hint;                // part of the first such finding's message
  };
  const Case cases[] = {
      {"a clean bundle", cfg(minimal), {}, 0, {}, ""},
      {"no executable",
       [](const Bundle& b, const TempDir&) { unlink(b.launcher().c_str()); },
       {},
       1,
       {"bundle-layout"},
       "no executable"},
      {"two executables",
       [](const Bundle& b, const TempDir&) { copyFile(b.launcher(), b.binDir() + "/Other", 0755); },
       {},
       1,
       {"bundle-layout"},
       "--launcher"},
      {"two executables, one chosen",
       [](const Bundle& b, const TempDir&) { copyFile(b.launcher(), b.binDir() + "/Other", 0755); },
       {"--launcher", "Demo"},
       0,
       {},
       ""},
      {"no configuration",
       [](const Bundle& b, const TempDir&) { unlink(b.cfgPath().c_str()); },
       {},
       1,
       {"config-missing"},
       "Error opening"},
      {"a directory as configuration",
       [](const Bundle& b, const TempDir&) {
         unlink(b.cfgPath().c_str());
         makeDirs(b.cfgPath());
       },
       {},
       1,
       {"config-unreadable"},
       "Error opening"},
      {"a pipe as configuration",
       [](const Bundle& b, const TempDir&) {
         unlink(b.cfgPath().c_str());
         ASSERT_EQ(0, mkfifo(b.cfgPath().c_str(), 0644));
       },
       {},
       1,
       {"config-unreadable"},
       "file: Not a regular file"},
      {"a configuration that is a loop of links",
       [](const Bundle& b, const TempDir&) {
         unlink(b.cfgPath().c_str());
         ASSERT_EQ(0, symlink(b.cfgPath().c_str(), b.cfgPath().c_str()));
       },
       {},
       1,
       {"config-unreadable"},
       "Error opening"},
      {"a header without ]",
       cfg(minimal + "[ArgOptions\n"),
       {},
       1,
       {"config-syntax"},
       "file at 3: Missing ']' character"},
      {"a NUL byte in a value",
       cfg("[Application]\napp.mainclass=Ma\0in\n"s),
       {},
       1,
       {"config-nul"},
       "NUL"},
      {"a pipe as package descriptor",
       [](const Bundle& b, const TempDir&) {
         ASSERT_EQ(0, mkfifo((b.appDir() + "/.package").c_str(), 0644));
       },
       {},
       1,
       {"package-unreadable"},
       "file: Not a regular file"},
      {"no runtime library",
       cfg(minimal + "app.runtime=$ROOTDIR/none\n"),
       {},
       1,
       {"runtime-missing"},
       "Failed to find ZORM in \""},
      {"no main", cfg("[Application]\napp.version=1\n"), {}, 1, {"no-main"}, "app.mainclass"},
      {"a section name in lower case",
       cfg(minimal + "[argoptions]\narguments=x\n"),
       {},
       0,
       {"unknown-section"},
       "did you mean [ArgOptions]?"},
      {"a property name with a capital",
       cfg(minimal + "app.mainClass=X\n"),
       {},
       0,
       {"unknown-property"},
       "did you mean 'app.mainclass'?"},
      {"a property name with a leading space",
       cfg(minimal + " app.version=1\n"),
       {},
       0,
       {"unknown-property"},
       "did you mean 'app.version'?"},
      {"a property name two edits off",
       cfg(minimal + "app.clspath=x\n"),
       {},
       0,
       {"unknown-property"},
       "did you mean 'app.classpath'?"},
      {"a property name with escaped equals signs",
       cfg(minimal + "a\\=b\\=c=d\n"),
       {},
       0,
       {"unknown-property"},
       "unknown property 'a\\=b\\=c' is skipped"},
      {"a property before the first header",
       cfg("app.version=1\n" + minimal),
       {},
       0,
       {"property-before-section"},
       "before the first section header"},
      {"a byte-order mark",
       cfg("\xEF\xBB\xBF; demo\n" + minimal),
       {},
       0,
       {"byte-order-mark"},
       "byte-order mark"},
      {"Windows line ends",
       cfg("[Application]\r\napp.mainclass=Main\r\n"),
       {},
       0,
       {"cr-line-end"},
       "2 line(s)"},
      {"a main class given twice",
       cfg(minimal + "app.mainclass=Other\n"),
       {},
       0,
       {"repeated-value"},
       "first at line 2"},
      {"a version given twice, which the launcher never reads",
       cfg(minimal + "app.version=1\napp.version=2\n"),
       {},
       0,
       {},
       ""},
      {"arguments under [Application]",
       cfg(minimal + "arguments=x\n"),
       {},
       0,
       {"property-wrong-section"},
       "arguments belongs in [ArgOptions]; the launcher ignores it under [Application]"},
      {"a main class given twice under [ArgOptions]",
       cfg(minimal + "[ArgOptions]\napp.mainclass=A\napp.mainclass=B\n"),
       {},
       0,
       {"property-wrong-section"},
       "belongs in [Application]"},
      {"a section given twice",
       cfg(minimal + "[Application]\napp.mainclass=Other\n"),
       {},
       0,
       {"section-replaced"},
       "at line 1"},
      {"a class-path entry that is not there",
       cfg(minimal + "app.classpath=$APPDIR/none.zep\n"),
       {},
       0,
       {"missing-file"},
       "none.zep\" does not exist"},
      {"a main archive that is not there",
       cfg(minimal + "app.mainzep=$APPDIR/main.zep\n"),
       {},
       0,
       {"missing-file"},
       "main archive"},
      {"an unknown macro",
       cfg(minimal + "[VexaOptions]\nvexa-options=-Dhome=$HOME\n"),
       {},
       0,
       {"unknown-macro"},
       "$HOME stays as written"},
      {"a macro glued to a name",
       cfg(minimal + "[ArgOptions]\narguments=$APPDIRX\n"),
       {},
       0,
       {"macro-glued"},
       "$APPDIR is followed directly by 'X'"},
      {"a warning under --strict",
       cfg(minimal + "app.mainClass=X\n"),
       {"--strict"},
       1,
       {"unknown-property"},
       ""},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    const Bundle bundle = readyBundle(dir / std::to_string(++index));
    c.prepare(bundle, dir);
    std::vector<std::string> args = c.options;
    args.push_back(bundle.root());
    const Checked checked = check(args);
    ASSERT_FALSE(checked.result.timedOut);
    ASSERT_TRUE(checked.json.is_object()) << checked.result.out << checked.result.err;
    EXPECT_EQ(c.status, checked.result.status) << checked.result.out;
    EXPECT_EQ(c.expected, codes(checked.json, false)) << checked.result.out;
    EXPECT_EQ(c.status == 0 || c.options == std::vector<std::string>{"--strict"},
              checked.json["launches"].get<bool>());
    if (!c.expected.empty()) {
      EXPECT_THAT(messageOf(checked.json, *c.expected.begin()), HasSubstr(c.hint));
    }
    if (checked.json["launches"].get<bool>()) expectPlanIsTheLaunch(bundle, checked);
  }
}

TEST_F(CheckTest, PathWithAColon) {
  const Bundle bundle = readyBundle(tmp / "a:b");
  const Checked checked = check({bundle.root()});
  EXPECT_EQ(1, checked.result.status);
  EXPECT_EQ(std::set<std::string>{"bundle-path-colon"}, codes(checked.json, false));
}

TEST_F(CheckTest, NotesSayWhichConfigurationIsRead) {
  const Bundle bundle = readyBundle(tmp.path());
  writeFile(bundle.appDir() + "/.package", "com.example.demo\n");
  const std::string userCfg = tmp / "home/Library/Application Support/com.example.demo/Demo.cfg";

  const Checked own = check({bundle.root()});
  EXPECT_EQ(0, own.result.status);
  EXPECT_THAT(codes(own.json, true),
              IsSupersetOf({"config-chosen", "runtime-default", "per-user-override"}));
  EXPECT_EQ(bundle.cfgPath(), own.json["config"]);

  writeFile(userCfg, "[Application]\napp.mainclass=User\napp.runtime=$ROOTDIR/Contents/runtime\n");
  const Checked user = check({"--home", tmp / "home", bundle.root()});
  EXPECT_EQ(0, user.result.status);
  EXPECT_EQ(userCfg, user.json["config"]);
  EXPECT_EQ(std::set<std::string>{"config-chosen"}, codes(user.json, true));
  EXPECT_THAT(messageOf(user.json, "config-chosen"), HasSubstr("per-user"));
  // Relative to the checker's working directory, the test's folder, and then
  // used as the launcher uses HOME, unchanged.
  EXPECT_EQ(tmp / "./home/Library/Application Support/com.example.demo/Demo.cfg",
            check({"--home", "./home", bundle.root()}).json["config"]);
}

TEST_F(CheckTest, UsageErrorsExitTwoWithOneLine) {
  const std::vector<std::vector<std::string>> lines = {
      {}, {"--home"}, {"--bogus", "X.app"}, {"A.app", "B.app"}, {"--launcher", "a/b", "X.app"}};
  for (const std::vector<std::string>& line : lines) {
    const Checked checked = check(line);
    EXPECT_EQ(2, checked.result.status) << ::testing::PrintToString(line);
    EXPECT_EQ("", checked.result.out);
    EXPECT_EQ(1, std::count(checked.result.err.begin(), checked.result.err.end(), '\n'));
    EXPECT_THAT(checked.result.err, HasSubstr("usage: applauncher-check"));
  }
}

TEST_F(CheckTest, TextOutputListsFindingsPlanAndSummary) {
  const Bundle bundle = readyBundle(tmp.path());
  bundle.writeCfg(kMinimalCfg + "app.mainClass=X\r\n");
  const ProcessResult result =
      runProcess(LX_CHECKER_PATH, {LX_CHECKER_PATH, bundle.root(), "--", "one"}, env);
  EXPECT_EQ(0, result.status);
  EXPECT_THAT(result.out, HasSubstr(bundle.cfgPath() + ":3: warning: unknown property "
                                                       "'app.mainClass' is skipped"));
  EXPECT_THAT(result.out, HasSubstr("[unknown-property]\n"));
  EXPECT_THAT(result.out, HasSubstr("argument 0: " + bundle.launcher() + "\n"));
  EXPECT_THAT(result.out, HasSubstr("argument 3: one\n"));
  EXPECT_THAT(result.out, HasSubstr("'app.mainClass' is skipped; did you mean"));
  EXPECT_THAT(result.out, ::testing::EndsWith("\n0 error(s), 2 warning(s)\n"));
}

TEST_F(CheckTest, InvalidUtf8BecomesReplacementCharacters) {
  const Bundle bundle = readyBundle(tmp.path());
  bundle.writeCfg(kMinimalCfg + "[ArgOptions]\narguments=a\xff\n");
  const Checked checked = check({bundle.root()});
  ASSERT_TRUE(checked.json.is_object()) << checked.result.out;
  EXPECT_EQ("a\xEF\xBF\xBD", checked.json["arguments"].back());
}

// The one-truth rule end to end: the plan's arguments, library and
// environment are what the real launcher hands the runtime.
TEST_F(CheckTest, PlanEqualsTheRealLaunch) {
  struct Case {
    const char* label;
    std::string cfg;
    std::vector<std::string> args;
    const char* home;  // a package, and the configuration in this home below tmp
  };
  const Case cases[] = {
      {"every property",
       "[Application]\napp.modulepath=$APPDIR/mods\napp.classpath=$APPDIR/a.zep\n"
       "app.classpath=$BINDIR/b.zep\napp.splash=$APPDIR/splash.png\napp.mainmodule=m/M\n"
       "app.mainclass=C\napp.mainzep=$APPDIR/main.zep\n[VexaOptions]\nvexa-options=-Xmx1g\n"
       "vexa-options=-Dpath=$APPDIR\n[ArgOptions]\narguments=--first\narguments=$ROOTDIR\n",
       {},
       nullptr},
      {"command-line arguments",
       kMinimalCfg + "[ArgOptions]\narguments=configured\n",
       {"$APPDIR", "-psn_0_1", "", "two words"},
       nullptr},
      {"per-user configuration", kMinimalCfg + "[ArgOptions]\narguments=from-user\n", {}, "home"},
      // ".." after a link is the parent of the link's target: real/home, not
      // the home of the case before.
      {"a home through a linked directory and ..",
       kMinimalCfg + "[ArgOptions]\narguments=through-link\n",
       {},
       "lnk/../home"},
      {"Windows line ends and a glued macro",
       "[Application]\r\napp.mainclass=Main\r\n[ArgOptions]\narguments=$APPDIRX\n",
       {},
       nullptr},
  };
  makeDirs(tmp / "real/sub");
  ASSERT_EQ(0, symlink("real/sub", (tmp / "lnk").c_str()));
  env["DYLD_LIBRARY_PATH"] = "/usr/lib";
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Bundle bundle = readyBundle(tmp / std::to_string(++index));
    writeFile(bundle.appDir() + "/splash.png", "png");
    std::vector<std::string> options;
    if (c.home) {
      writeFile(bundle.appDir() + "/.package", "com.example.demo\n");
      writeFile(tmp / c.home + "/Library/Application Support/com.example.demo/Demo.cfg", c.cfg);
      env["HOME"] = tmp / c.home;
      options = {"--home", c.home};
    } else {
      bundle.writeCfg(c.cfg);
    }
    options.push_back(bundle.root());
    options.push_back("--");
    options.insert(options.end(), c.args.begin(), c.args.end());
    expectPlanIsTheLaunch(bundle, check(options), c.args);
  }
}

TEST_F(CheckTest, ManyFindingsOfOneCodeEndInACount) {
  const Bundle bundle = readyBundle(tmp.path());
  std::string cfg = kMinimalCfg;
  for (int i = 0; i < 1500; ++i) cfg += "unknown" + std::to_string(i) + "=x\n";
  bundle.writeCfg(cfg);
  const Checked checked = check({bundle.root()});
  ASSERT_TRUE(checked.json.is_object()) << checked.result.err;
  int listed = 0;
  for (const nlohmann::json& f : checked.json["findings"]) {
    if (f["code"] == "unknown-property" && !f["line"].is_null()) ++listed;
  }
  EXPECT_EQ(1000, listed);
  EXPECT_EQ("500 more like this, not listed", messageOf(checked.json, "unknown-property", true));
}
