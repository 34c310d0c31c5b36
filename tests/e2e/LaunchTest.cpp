// The launcher end to end: real bundles in a temporary directory, the real
// executable run as a child process with a controlled environment, and the
// test runtime library's record of what it was handed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "BundleTest.h"
#include "Escape.h"
#include "Process.h"
#include "Record.h"
#include "TestSupport.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

class LaunchTest : public BundleTest {
 protected:
  // Runs the bundle's launcher by its absolute path with the given arguments.
  ProcessResult run(const Bundle& bundle, const std::vector<std::string>& args = {}) {
    return runLauncher(bundle.launcher(), commandLine(bundle, args), env);
  }
};

TEST_F(LaunchTest, FullArgumentListInOrder) {
  Bundle bundle(tmp.path(), "Full");
  bundle.installRuntime();
  writeFile(bundle.appDir() + "/splash.png", "png");
  bundle.writeCfg(
      "; every property\n"
      "[Application]\n"
      "app.version=1.0\n"
      "app.modulepath=$APPDIR/mods\n"
      "app.modulepath=$ROOTDIR/more\n"
      "app.classpath=$APPDIR/a.zep\n"
      "app.classpath=$BINDIR/b.zep\n"
      "app.splash=$APPDIR/splash.png\n"
      "app.memory=auto\n"
      "app.mainmodule=com.example/com.example.Main\n"
      "app.mainclass=com.example.Main\n"
      "app.mainzep=$APPDIR/main.zep\n"
      "[VexaOptions]\n"
      "vexa-options=-Xmx1g\n"
      "vexa-options=-Dpath=$APPDIR\n"
      "[ArgOptions]\n"
      "arguments=--first\n"
      "arguments=$ROOTDIR\n");
  const ProcessResult result = run(bundle);
  ASSERT_TRUE(result.exited) << result.err;
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.err);
  EXPECT_EQ("", result.out);

  const std::string app = bundle.appDir(), root = bundle.root(), exe = bundle.launcher();
  const std::vector<Call> record = calls();
  ASSERT_EQ(1u, record.size());
  EXPECT_THAT(
      record[0].args,
      ElementsAreArray(escaped(
          {exe, "--module-path", app + "/mods", "--module-path", root + "/more", "-classpath",
           app + "/a.zep:" + bundle.binDir() + "/b.zep", "-splash:" + app + "/splash.png", "-Xmx1g",
           "-Dpath=" + app, "-Dkelpak.app-path=" + exe, "-m", "com.example/com.example.Main",
           "com.example.Main", "-zep", app + "/main.zep", "--first", root})));
  EXPECT_EQ("null", record[0].terminator);
  EXPECT_EQ("0,0,0,0,0,0,0,0", record[0].zeros);
  EXPECT_EQ("[][][vexa][vexa]", record[0].strings);
  EXPECT_EQ(escapeBytes(bundle.runtimeDir() + "/" + Bundle::kRuntimeLib), record[0].library);
  EXPECT_EQ(escapeBytes(app), record[0].libraryPathVariable);
}

TEST_F(LaunchTest, CommandLineReplacesConfiguredArgumentsUntouched) {
  Bundle bundle = readyBundle(tmp.path());
  bundle.writeCfg(std::string(kMinimalCfg) + "[ArgOptions]\narguments=configured\n");
  const std::string exe = bundle.launcher();

  struct Case {
    std::vector<std::string> given;
    std::vector<std::string> passed;
  };
  const Case cases[] = {
      {{}, {"configured"}},
      {{"$APPDIR", "a b", ""}, {"$APPDIR", "a b", ""}},
      {{"-psn_0_12345", "x", "-psn_", "-psn", "-PSN_1", "--psn_1", "x-psn_"},
       {"x", "-psn", "-PSN_1", "--psn_1", "x-psn_"}},
      {{"-psn_0_1"}, {"configured"}},
      {{"line\nbreak", "\xff\xfe", "tab\there"}, {"line\nbreak", "\xff\xfe", "tab\there"}},
  };
  for (const Case& c : cases) {
    unlink((tmp / "record").c_str());
    const ProcessResult result = run(bundle, c.given);
    ASSERT_EQ(0, result.status) << result.err;
    std::vector<std::string> expected{exe, "-Dkelpak.app-path=" + exe, "Main"};
    expected.insert(expected.end(), c.passed.begin(), c.passed.end());
    const std::vector<Call> record = calls();
    ASSERT_EQ(1u, record.size());
    EXPECT_THAT(record[0].args, ElementsAreArray(escaped(expected)))
        << ::testing::PrintToString(c.given);
  }
}

TEST_F(LaunchTest, LibraryPathVariable) {
  Bundle bundle = readyBundle(tmp.path());
  const std::string app = bundle.appDir();
  struct Case {
    bool set;
    std::string value;
    std::string seen;
  };
  const Case cases[] = {
      {false, "", app},
      {true, "", app},
      {true, "/usr/lib", "/usr/lib:" + app},
      {true, "/a:" + app + ":/b", "/a:" + app + ":/b"},
      {true, app, app},
      {true, app + "/", app + "/:" + app},
      {true, ":", "::" + app},
  };
  for (const Case& c : cases) {
    unlink((tmp / "record").c_str());
    env.erase("DYLD_LIBRARY_PATH");
    if (c.set) env["DYLD_LIBRARY_PATH"] = c.value;
    const ProcessResult result = run(bundle);
    ASSERT_EQ(0, result.status) << result.err;
    const std::vector<Call> record = calls();
    ASSERT_EQ(1u, record.size());
    EXPECT_EQ(escapeBytes(c.seen), record[0].libraryPathVariable)
        << (c.set ? "'" + c.value + "'" : "unset");
  }
}

TEST_F(LaunchTest, PerUserConfiguration) {
  Bundle bundle = readyBundle(tmp.path());
  bundle.writeCfg("[ArgOptions]\narguments=from-bundle\n");
  const std::string userDir = tmp / "home/Library/Application Support/com.example.demo";
  writeFile(userDir + "/Demo.cfg", "[ArgOptions]\narguments=from-user\n");

  struct Case {
    const char* label;
    const char* package;  // null: no descriptor
    const char* home;     // null: "HOME" unset
    const char* expected;
  };
  const std::string home = tmp / "home";
  const Case cases[] = {
      {"no descriptor", nullptr, home.c_str(), "from-bundle"},
      {"empty descriptor", "", home.c_str(), "from-bundle"},
      {"package", "com.example.demo\nignored\n", home.c_str(), "from-user"},
      {"package without line feed", "com.example.demo", home.c_str(), "from-user"},
      {"other package", "com.example.other\n", home.c_str(), "from-bundle"},
      {"HOME unset", "com.example.demo\n", nullptr, "from-bundle"},
      {"HOME empty", "com.example.demo\n", "", "from-bundle"},
      {"carriage return is part of the name", "com.example.demo\r\n", home.c_str(), "from-bundle"},
  };
  for (const Case& c : cases) {
    unlink((tmp / "record").c_str());
    unlink((bundle.appDir() + "/.package").c_str());
    if (c.package) writeFile(bundle.appDir() + "/.package", c.package);
    env.erase("HOME");
    if (c.home) env["HOME"] = c.home;
    const ProcessResult result = run(bundle);
    EXPECT_EQ(0, result.status) << c.label;
    EXPECT_EQ("", result.err) << c.label;
    const std::vector<Call> record = calls();
    ASSERT_EQ(1u, record.size()) << c.label;
    EXPECT_EQ(c.expected, record[0].args.back()) << c.label;
  }

  // With a carriage return in the name, the directory named with it is used.
  writeFile(tmp / "home/Library/Application Support/crlf\r/Demo.cfg",
            "[ArgOptions]\narguments=from-crlf\n");
  writeFile(bundle.appDir() + "/.package", "crlf\r\n");
  env["HOME"] = home;
  unlink((tmp / "record").c_str());
  ASSERT_EQ(0, run(bundle).status);
  EXPECT_EQ("from-crlf", calls().at(0).args.back());
}

TEST_F(LaunchTest, HomeUnsetIsReportedOnlyWithLogging) {
  Bundle bundle = readyBundle(tmp.path());
  writeFile(bundle.appDir() + "/.package", "com.example.demo\n");
  env.erase("HOME");
  env["KELPAK_DEBUG"] = "true";
  const ProcessResult result = run(bundle);
  EXPECT_EQ(0, result.status);
  EXPECT_THAT(result.err, HasSubstr("[ERROR] MacLauncher:"));
  EXPECT_THAT(result.err, HasSubstr(": Exception with message 'UnixSysInfo("));
  EXPECT_THAT(result.err,
              HasSubstr(") at getEnvVariable(): getenv(HOME) failed. Variable not set' caught\n"));
}

TEST_F(LaunchTest, RuntimeDirectoryAndLibraryCandidates) {
  Bundle bundle(tmp.path(), "Demo");
  // Second candidate only.
  bundle.installRuntime("Contents/Home/lib/rlx/librlx.dylib");
  bundle.writeCfg(kMinimalCfg);
  ASSERT_EQ(0, run(bundle).status);
  EXPECT_EQ(escapeBytes(bundle.runtimeDir() + "/Contents/Home/lib/rlx/librlx.dylib"),
            calls().at(0).library);

  // Both: the first wins.
  bundle.installRuntime();
  unlink((tmp / "record").c_str());
  ASSERT_EQ(0, run(bundle).status);
  EXPECT_EQ(escapeBytes(bundle.runtimeDir() + "/" + Bundle::kRuntimeLib), calls().at(0).library);

  // "app.runtime" elsewhere, with a macro.
  bundle.installRuntime(Bundle::kRuntimeLib, bundle.root() + "/Contents/other");
  bundle.writeCfg(std::string(kMinimalCfg) + "app.runtime=$ROOTDIR/Contents/other\n");
  unlink((tmp / "record").c_str());
  ASSERT_EQ(0, run(bundle).status);
  EXPECT_EQ(escapeBytes(bundle.root() + "/Contents/other/" + Bundle::kRuntimeLib),
            calls().at(0).library);
}

TEST_F(LaunchTest, MissingSplashIsIgnoredWithAWarning) {
  Bundle bundle = readyBundle(tmp.path());
  bundle.writeCfg(std::string(kMinimalCfg) + "app.splash=$APPDIR/none.png\n");
  ASSERT_EQ(0, run(bundle).status);
  const std::vector<Call> record = calls();
  ASSERT_EQ(1u, record.size());
  for (const std::string& arg : record[0].args)
    EXPECT_THAT(arg, ::testing::Not(StartsWith("-splash:")));

  env["KELPAK_DEBUG"] = "true";
  const ProcessResult result = run(bundle);
  EXPECT_EQ(0, result.status);
  EXPECT_THAT(result.err, HasSubstr("[WARNING] ZormLauncher:"));
  EXPECT_THAT(result.err, HasSubstr(": Splash property ignored. File \"" + bundle.appDir() +
                                    "/none.png\" not found\n"));
}

TEST_F(LaunchTest, FailuresPrintOneLineAndExitOne) {
  struct Case {
    const char* label;
    std::function<void(const Bundle&)> prepare;
    std::function<std::string(const Bundle&)> message;  // a regular expression
  };
  auto literal = [](std::string text) {
    std::string reply;
    for (char c : text) {
      if (std::strchr("\\^$.|?*+()[]{}", c)) reply += '\\';
      reply += c;
    }
    return reply;
  };
  const Case cases[] = {
      {"missing configuration", [](const Bundle& b) { unlink(b.cfgPath().c_str()); },
       [&](const Bundle& b) {
         return literal("Error opening \"" + b.cfgPath() + "\" file: " + std::strerror(ENOENT));
       }},
      {"header without ]", [](const Bundle& b) { b.writeCfg("; c\n\n[Application\n"); },
       [&](const Bundle& b) {
         return literal("Error parsing [" + b.cfgPath() + "] file at 3: Missing ']' character");
       }},
      {"no runtime library",
       [](const Bundle& b) { unlink((b.runtimeDir() + "/" + Bundle::kRuntimeLib).c_str()); },
       [&](const Bundle& b) {
         return literal("Failed to find ZORM in \"" + b.runtimeDir() + "\" directory.");
       }},
      {"runtime library is a text file",
       [](const Bundle& b) { writeFile(b.runtimeDir() + "/" + Bundle::kRuntimeLib, "text\n"); },
       [&](const Bundle& b) {
         return literal("dlopen(" + b.runtimeDir() + "/" + Bundle::kRuntimeLib +
                        ") failed. Error: ") +
                ".+";
       }},
      {"runtime library without entry point",
       [](const Bundle& b) {
         copyFile(LX_TEST_NO_ENTRY_PATH, b.runtimeDir() + "/" + Bundle::kRuntimeLib, 0755);
       },
       [&](const Bundle& b) {
         return literal("dlsym(" + b.runtimeDir() + "/" + Bundle::kRuntimeLib +
                        ", RLX_Launch) failed. Error: ") +
                ".+";
       }},
      {"entry point fails", [](const Bundle&) {},
       [&](const Bundle&) { return literal("Failed to launch ZORM"); }},
  };
  for (const Case& c : cases) {
    TempDir dir;
    Bundle bundle(dir.path(), "Demo");
    bundle.writeCfg(kMinimalCfg);
    bundle.installRuntime();
    c.prepare(bundle);
    const bool entryFails = std::string(c.label) == "entry point fails";
    if (entryFails) env["RLX_TEST_RESULT"] = "2";

    env.erase("KELPAK_DEBUG");
    const ProcessResult quiet = run(bundle);
    EXPECT_TRUE(quiet.exited) << c.label;
    EXPECT_EQ(1, quiet.status) << c.label;
    EXPECT_THAT(quiet.err, MatchesRegex(c.message(bundle) + "\n")) << c.label;
    EXPECT_EQ("", quiet.out) << c.label;

    env["KELPAK_DEBUG"] = "true";
    const ProcessResult debug = run(bundle);
    EXPECT_EQ(1, debug.status) << c.label;
    EXPECT_THAT(
        debug.err,
        MatchesRegex("\\[TRACE\\] app:[0-9]+: Entering launch\n(.*\n)*"
                     "\\[ERROR\\] app:[0-9]+: Exception with message '[A-Za-z]+\\([0-9]+\\) at "
                     "[^\n]+\\(\\): " +
                     c.message(bundle) + "' caught\n" + c.message(bundle) +
                     "\n\\[TRACE\\] app:0: Exiting launch \\(entered at app:[0-9]+\\)\n"))
        << c.label << "\n"
        << debug.err;
    env.erase("RLX_TEST_RESULT");
  }
}

TEST_F(LaunchTest, SecondEntryOfMain) {
  Bundle bundle = readyBundle(tmp.path());
  env["RLX_TEST_REENTER"] = "1";
  const ProcessResult ok = run(bundle, {"arg"});
  EXPECT_EQ(0, ok.status);
  EXPECT_EQ("", ok.err);
  std::vector<Call> record = calls();
  ASSERT_EQ(2u, record.size());
  EXPECT_EQ("1 depth=0", record[0].header);
  EXPECT_EQ("2 depth=1", record[1].header);
  EXPECT_EQ(record[0].args, record[1].args);  // the same description, launched again
  // The nested entry's status comes back to the entry point, after the nested call's record.
  EXPECT_THAT(record[1].after, ElementsAre("main returned=0 at depth=0"));

  // A failing nested launch prints its own line; the first entry still succeeds.
  unlink((tmp / "record").c_str());
  env["RLX_TEST_NESTED_RESULT"] = "5";
  const ProcessResult nestedFails = run(bundle);
  EXPECT_EQ(0, nestedFails.status);
  EXPECT_EQ("Failed to launch ZORM\n", nestedFails.err);
  EXPECT_THAT(calls().at(1).after, ElementsAre("main returned=1 at depth=0"));
}

TEST_F(LaunchTest, StartedThroughASymbolicLink) {
  Bundle bundle = readyBundle(tmp.path());
  makeDirs(tmp / "links");
  ASSERT_EQ(0, symlink(bundle.launcher().c_str(), (tmp / "links/absolute").c_str()));
  const ProcessResult absolute = runProcess(tmp / "links/absolute", {tmp / "links/absolute"}, env);
  EXPECT_EQ(0, absolute.status) << absolute.err;
  EXPECT_EQ(escapeBytes(bundle.launcher()), calls().at(0).args.at(0));

  // A relative target is joined to the working directory (here the link's own).
  ASSERT_EQ(0, symlink("Demo.app/Contents/MacOS/Demo", (tmp / "relative").c_str()));
  unlink((tmp / "record").c_str());
  const ProcessResult relative = runProcess("relative", {"relative"}, env, tmp.path());
  EXPECT_EQ(0, relative.status) << relative.err;
  EXPECT_EQ(escapeBytes(tmp / "Demo.app/Contents/MacOS/Demo"), calls().at(0).args.at(0));
}

TEST_F(LaunchTest, UnusualInstallationDirectories) {
  for (const std::string dirName :
       {"with space", "ünïcödé ✓", "$APPDIR", "$ROOTDIR$BINDIR", "quote\"'"}) {
    TempDir dir;
    const std::string parent = dir / dirName;
    makeDirs(parent);
    Bundle bundle(parent, "My App");
    bundle.installRuntime();
    bundle.writeCfg(
        "[Application]\napp.classpath=$APPDIR/x.zep\napp.mainclass=Main\n"
        "[ArgOptions]\narguments=$ROOTDIR|$BINDIR\n");
    env["RLX_TEST_RECORD"] = dir / "record";
    const ProcessResult result = run(bundle);
    ASSERT_EQ(0, result.status) << dirName << ": " << result.err;
    const std::vector<Call> record = parseRecord(readFile(dir / "record"));
    ASSERT_EQ(1u, record.size()) << dirName;
    EXPECT_THAT(
        record[0].args,
        ElementsAreArray(escaped({bundle.launcher(), "-classpath", bundle.appDir() + "/x.zep",
                                  "-Dkelpak.app-path=" + bundle.launcher(), "Main",
                                  bundle.root() + "|" + bundle.binDir()})))
        << dirName;
  }
}
