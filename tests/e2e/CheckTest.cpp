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
using ::testing::Not;
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

// Every error and warning in order, as "code" or "code:line".
std::vector<std::string> located(const nlohmann::json& json) {
  std::vector<std::string> found;
  for (const nlohmann::json& f : json["findings"]) {
    if (f["severity"] == "note") continue;
    found.push_back(f["code"].get<std::string>() +
                    (f["line"].is_null() ? "" : ":" + std::to_string(f["line"].get<int>())));
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
    std::vector<std::string> expected;  // every error and warning, as located() gives it
    std::string hint;                   // part of the last such finding's message
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
       {"config-syntax:3"},
       "file at 3: Missing ']' character"},
      {"a NUL byte in a value",
       cfg("[Application]\napp.mainclass=Ma\0in\n"s),
       {},
       1,
       {"config-nul:2"},
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
       {"unknown-section:3"},
       "did you mean [ArgOptions]?"},
      {"a property name with a capital",
       cfg(minimal + "app.mainClass=X\n"),
       {},
       0,
       {"unknown-property:3"},
       "did you mean 'app.mainclass'?"},
      {"a property name with a leading space",
       cfg(minimal + " app.version=1\n"),
       {},
       0,
       {"unknown-property:3"},
       "did you mean 'app.version'?"},
      {"a property name two edits off",
       cfg(minimal + "app.clspath=x\n"),
       {},
       0,
       {"unknown-property:3"},
       "did you mean 'app.classpath'?"},
      {"a property name with escaped equals signs",
       cfg(minimal + "a\\=b\\=c=d\n"),
       {},
       0,
       {"unknown-property:3"},
       "unknown property 'a\\=b\\=c' is skipped"},
      {"a property before the first header",
       cfg("app.version=1\n" + minimal),
       {},
       0,
       {"property-before-section:1"},
       "before the first section header"},
      {"a byte-order mark",
       cfg("\xEF\xBB\xBF; demo\n" + minimal),
       {},
       0,
       {"byte-order-mark:1"},
       "byte-order mark"},
      {"Windows line ends",
       cfg("[Application]\r\napp.mainclass=Main\r\n"),
       {},
       0,
       {"cr-line-end:1"},
       "2 line(s)"},
      {"a main class given twice",
       cfg(minimal + "app.mainclass=Other\n"),
       {},
       0,
       {"repeated-value:3"},
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
       {"property-wrong-section:3"},
       "arguments belongs in [ArgOptions]; the launcher ignores it under [Application]"},
      {"a main class given twice under [ArgOptions]",
       cfg(minimal + "[ArgOptions]\napp.mainclass=A\napp.mainclass=B\n"),
       {},
       0,
       {"property-wrong-section:4", "property-wrong-section:5"},
       "belongs in [Application]"},
      {"a section given twice",
       cfg(minimal + "[Application]\napp.mainclass=Other\n"),
       {},
       0,
       {"section-replaced:3"},
       "at line 1"},
      {"a class-path entry that is not there",
       cfg(minimal + "app.classpath=$APPDIR/none.zep\n"),
       {},
       0,
       {"missing-file:3"},
       "none.zep\" does not exist"},
      {"a main archive that is not there",
       cfg(minimal + "app.mainzep=$APPDIR/main.zep\n"),
       {},
       0,
       {"missing-file:3"},
       "main archive"},
      {"an unknown macro",
       cfg(minimal + "[VexaOptions]\nvexa-options=-Dhome=$HOME\n"),
       {},
       0,
       {"unknown-macro:4"},
       "$HOME stays as written"},
      {"a macro glued to a name",
       cfg(minimal + "[ArgOptions]\narguments=$APPDIRX\n"),
       {},
       0,
       {"macro-glued:4"},
       "$APPDIR is followed directly by 'X'"},
      {"a main class given three times",
       cfg(minimal + "app.mainclass=Other\napp.mainclass=Third\n"),
       {},
       0,
       {"repeated-value:3", "repeated-value:4"},
       "first at line 2"},
      {"a main archive given twice, the one used not there",
       [](const Bundle& b, const TempDir&) {
         b.writeCfg(kMinimalCfg + "app.mainzep=$APPDIR/old.zep\napp.mainzep=$APPDIR/main.zep\n");
         writeFile(b.appDir() + "/old.zep", "");
       },
       {},
       0,
       {"repeated-value:4", "missing-file:4"},
       "main.zep\" does not exist"},
      {"findings in line order",
       cfg(minimal + "app.classpath=$APPDIR/none.zep\napp.mainClass=X\n"),
       {},
       0,
       {"missing-file:3", "unknown-property:4"},
       "did you mean"},
      {"relative paths, there in the checker's working directory",
       [this](const Bundle& b, const TempDir&) {
         b.writeCfg(kMinimalCfg + "app.classpath=$APPDIR/a.zep:a.zep\napp.splash=splash.png\n");
         writeFile(b.appDir() + "/a.zep", "");
         writeFile(tmp / "a.zep", "");
         writeFile(tmp / "splash.png", "");
       },
       {"--strict"},
       1,
       {"relative-path:3", "relative-path:4"},
       "splash file \"splash.png\" is relative"},
      {"a file that is not executable beside the launcher",
       [](const Bundle& b, const TempDir&) { writeFile(b.binDir() + "/notes.txt", "x"); },
       {},
       0,
       {},
       ""},
      {"a package name with a carriage return",
       [](const Bundle& b, const TempDir&) {
         writeFile(b.appDir() + "/.package", "com.example.demo\r\n");
       },
       {},
       0,
       {"package-cr:1"},
       "carriage return"},
      {"a warning under --strict",
       cfg(minimal + "app.mainClass=X\n"),
       {"--strict"},
       1,
       {"unknown-property:3"},
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
    EXPECT_EQ(c.expected, located(checked.json)) << checked.result.out;
    EXPECT_EQ(c.status == 0 || c.options == std::vector<std::string>{"--strict"},
              checked.json["launches"].get<bool>());
    if (!c.expected.empty()) {
      const std::string last = c.expected.back();
      EXPECT_THAT(messageOf(checked.json, last.substr(0, last.find(':')), true), HasSubstr(c.hint));
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

// A launch from the Finder runs in "/", where a relative splash file is not
// found, wherever the checker runs.
TEST_F(CheckTest, RelativeSplashPlannedAsFromTheFinder) {
  const Bundle bundle = readyBundle(tmp.path());
  bundle.writeCfg(kMinimalCfg + "app.splash=splash.png\n");
  writeFile(tmp / "splash.png", "");
  const Checked checked = check({"Demo.app"});
  EXPECT_EQ(0, checked.result.status) << checked.result.err;
  EXPECT_THAT(checked.json["arguments"].dump(), Not(HasSubstr("-splash:")));
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

TEST_F(CheckTest, CannotCheckExitsTwoWithOneLineAndNoReport) {
  const Bundle bundle = readyBundle(tmp / "ok");
  writeFile(tmp / "file", "");
  const struct {
    std::vector<std::string> args;
    std::string shell;  // runs the checker as "$0" "$@"
    std::string error;  // part of the one line on stderr
  } cases[] = {
      {{}, "", "no bundle given; usage: applauncher-check"},
      {{"--home"}, "", "--home needs a value; usage"},
      {{"--bogus\x1b]0;\xc2\x9b\x9b", "X.app"},
       "",
       "unknown option '--bogus\\x1b]0;\\xc2\\x9b\\x9b'"},
      {{"A.app", "B.app"}, "", "more than one bundle"},
      {{"--launcher", "a/b", "X.app"}, "", "--launcher takes a file name"},
      {{tmp / "none.app"}, "", tmp / "none.app: No such file or directory"},
      {{tmp / "file"}, "", tmp / "file: not a directory"},
      {{bundle.root()}, ">/dev/full", "writing the report: No space left on device"},
      {{bundle.root()}, ">&-", "standard output: Bad file descriptor"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args) + c.shell);
    std::vector<std::string> args{"/bin/sh", "-c", c.shell + " \"$0\" --json \"$@\"",
                                  LX_CHECKER_PATH};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult result = runProcess("/bin/sh", args, env, tmp.path());
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
    EXPECT_THAT(result.err, HasSubstr("applauncher-check: " + c.error));
  }
}

// Address-space limits from one at which the loader cannot map the checker
// up to one at which the check is done: a lack of memory is never a verdict.
TEST_F(CheckTest, OutOfMemoryIsNoVerdict) {
#ifdef LX_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizers reserve more address space than the limits here allow";
#endif
  const Bundle bundle = readyBundle(tmp.path());
  bundle.writeCfg(kMinimalCfg + "app.classpath=/" + std::string(16 << 20, 'x') + "\n");
  int outOfMemory = 0;
  int limit = 8000;
  for (; limit < 400000; limit += 8000) {
    const std::vector<std::string> argv{
        "sh", "-c", "ulimit -v " + std::to_string(limit) + " && exec \"$0\" \"$1\"",
        LX_CHECKER_PATH, bundle.root()};
    const ProcessResult result = runProcess("/bin/sh", argv, env, tmp.path());
    if (result.exited && result.status == 127) continue;  // the loader gave up before main
    if (result.status != 2) {
      EXPECT_TRUE(result.exited && result.status == 0) << limit << result.out << result.err;
      break;
    }
    EXPECT_EQ("applauncher-check: out of memory\n", result.err) << limit;
    ++outOfMemory;
  }
  EXPECT_LT(limit, 400000) << "never checked";
  EXPECT_GT(outOfMemory, 0) << "no limit made an allocation fail";
}

TEST_F(CheckTest, HelpAndVersionOnStandardOutput) {
  const ProcessResult help = runProcess(LX_CHECKER_PATH, {LX_CHECKER_PATH, "--help"}, env);
  EXPECT_EQ(0, help.status);
  EXPECT_THAT(help.out, HasSubstr("--launcher NAME  the executable in Contents/MacOS"));
  EXPECT_THAT(help.out, HasSubstr("Exit status: 0 the bundle would launch"));
  const ProcessResult version =
      runProcess(LX_CHECKER_PATH, {LX_CHECKER_PATH, "--json", "--version"}, env);
  EXPECT_EQ(0, version.status);
  EXPECT_EQ("applauncher-check " LX_VERSION "\n", version.out);
}

TEST_F(CheckTest, TextOutputListsFindingsPlanAndSummary) {
  const Bundle bundle = readyBundle(tmp.path());
  bundle.writeCfg(kMinimalCfg +
                  "app.mainClass=X\r\n[VexaOptions]\nvexa-options=\t\x1b[0m\xc2\x9b\xc3\xa9\n");
  const ProcessResult result =
      runProcess(LX_CHECKER_PATH, {LX_CHECKER_PATH, bundle.root(), "--", "one"}, env);
  EXPECT_THAT(result.out, HasSubstr("argument 1: \\t\\x1b[0m\\xc2\\x9b\xc3\xa9\n"));
  EXPECT_EQ(0, result.status);
  EXPECT_THAT(result.out, HasSubstr(bundle.cfgPath() + ":3: warning: unknown property "
                                                       "'app.mainClass' is skipped"));
  EXPECT_THAT(result.out, HasSubstr("[unknown-property]\n"));
  EXPECT_THAT(result.out, HasSubstr("argument 0: " + bundle.launcher() + "\n"));
  EXPECT_THAT(result.out, HasSubstr("argument 4: one\n"));
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
  EXPECT_EQ(1500, checked.json["summary"]["warnings"]);
  EXPECT_EQ("500 more like this, not listed", messageOf(checked.json, "unknown-property", true));
}
