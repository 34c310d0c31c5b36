// The launcher end to end on hostile but real inputs: configurations,
// descriptors, links, installation directories, environments, arguments and
// runtime libraries that a packager or a user could produce. Whatever it is
// given, the launcher ends by itself with status 0 or 1, prints at most one
// line with logging off, and hands every argument on byte for byte.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <set>

#include "BundleTest.h"
#include "Escape.h"
#include "Process.h"
#include "Record.h"
#include "TestSupport.h"
#include "share/native/common/FileUtils.h"

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// Generous for the sanitizer build; a hang ends the case as a failure.
const int kTimeoutSeconds = 30;

#ifdef __APPLE__
const char* const kPreloadVariable = "DYLD_INSERT_LIBRARIES";
#else
const char* const kPreloadVariable = "LD_PRELOAD";
#endif

// `size` bytes of a generator whose output the standard fixes, so the file is
// the same everywhere. Bytes listed in `excluded` become 'x'.
std::string randomBytes(std::size_t size, std::uint32_t seed, const std::string& excluded = "") {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(generator() & 0xff);
    if (excluded.find(c) != std::string::npos) c = 'x';
  }
  return bytes;
}

// A message as its failure line shows it: line breaks as \n and \r.
std::string printed(const std::string& message) {
  std::string reply;
  for (const char c : message) {
    reply += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
  }
  return reply;
}

// Every entry below `dir` but the runtime's record, with its type, size and
// modification time.
std::set<std::string> snapshot(const std::string& dir) {
  std::set<std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    struct stat info;
    if (entry.path().filename() == "record" || lstat(entry.path().c_str(), &info) != 0) continue;
    entries.insert(entry.path().string() + " " + std::to_string(info.st_mode) + " " +
                   std::to_string(info.st_size) + " " + std::to_string(info.st_mtime));
  }
  return entries;
}

std::string shortened(const std::string& text) {
  return text.size() <= 80 ? text : text.substr(0, 80) + "...(" + std::to_string(text.size()) + ")";
}

// One call of the entry point with exactly `expected`; tells where the lists
// differ without printing lists of 100,000 arguments or of 10 MB.
::testing::AssertionResult launchedOnceWith(const std::vector<std::string>& expected,
                                            const std::vector<Call>& calls) {
  if (calls.size() != 1) {
    return ::testing::AssertionFailure() << calls.size() << " calls of the entry point";
  }
  const std::vector<std::string> want = escaped(expected);
  const std::vector<std::string>& seen = calls[0].args;
  for (std::size_t i = 0; i < std::max(want.size(), seen.size()); ++i) {
    if (i >= want.size() || i >= seen.size() || want[i] != seen[i]) {
      return ::testing::AssertionFailure()
             << "argument " << i << " differs: expected "
             << (i < want.size() ? "'" + shortened(want[i]) + "'" : "none") << ", got "
             << (i < seen.size() ? "'" + shortened(seen[i]) + "'" : "none");
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

class RobustnessTest : public BundleTest {
 protected:
  // Runs the bundle's launcher in the temporary directory, which holds the
  // home directory, and checks what must hold whatever the input; it writes
  // no file there.
  ProcessResult run(const Bundle& bundle, const std::vector<std::string>& args = {}) {
    const ProcessResult result = runIn(tmp.path(), bundle.launcher(), commandLine(bundle, args));
    expectCheckerCopes(bundle, args);
    return result;
  }

  // The same for `program` started as `argv` in `cwd`.
  ProcessResult runIn(const std::string& cwd, const std::string& program,
                      const std::vector<std::string>& argv) {
    unlink((tmp / "record").c_str());
    const std::set<std::string> before = snapshot(tmp.path());
    const ProcessResult result = runProcess(program, argv, env, cwd, kTimeoutSeconds);
    EXPECT_TRUE(before == snapshot(tmp.path()));
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(0, result.signal);
    EXPECT_TRUE(result.exited && (result.status == 0 || result.status == 1)) << result.status;
    EXPECT_EQ("", result.out);
    EXPECT_LE(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    if (!result.err.empty()) {
      EXPECT_EQ('\n', result.err.back()) << result.err;
    }
    return result;
  }

  // The bundle checker on the same bundle, user and arguments: it ends by
  // itself with status 0 or 1 and one JSON object, and writes no file.
  void expectCheckerCopes(const Bundle& bundle, const std::vector<std::string>& args) {
#ifdef LX_CHECKER_PATH
    std::vector<std::string> line{LX_CHECKER_PATH, "--json"};
    if (env.count("HOME")) line.insert(line.end(), {"--home", env.at("HOME")});
    line.insert(line.end(), {bundle.root(), "--"});
    line.insert(line.end(), args.begin(), args.end());
    const std::set<std::string> before = snapshot(tmp.path());
    const ProcessResult result =
        runProcess(LX_CHECKER_PATH, line, env, tmp.path(), kTimeoutSeconds);
    EXPECT_TRUE(before == snapshot(tmp.path()));
    EXPECT_TRUE(result.exited && (result.status == 0 || result.status == 1))
        << "checker: " << result.status << " " << result.err;
    EXPECT_EQ("", result.err);
    EXPECT_EQ('{', result.out.empty() ? 0 : result.out.front());
#else
    (void)bundle;
    (void)args;
#endif
  }

  // A launch that printed nothing and handed on exactly `args`.
  void expectLaunch(const ProcessResult& result, const std::vector<std::string>& args) const {
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("", result.err);
    EXPECT_TRUE(launchedOnceWith(args, calls()));
  }

  // A failure before the launch whose only output is `line`.
  void expectFailure(const ProcessResult& result, const std::string& line) const {
    EXPECT_EQ(1, result.status);
    EXPECT_EQ(line + "\n", result.err);
    EXPECT_TRUE(calls().empty());
  }

  // The arguments of a launch without splash, paths or options: the launcher
  // path, its property, then `tail`.
  static std::vector<std::string> launchArgs(const Bundle& bundle,
                                             const std::vector<std::string>& tail) {
    return launchArgs(bundle.launcher(), tail);
  }
  static std::vector<std::string> launchArgs(const std::string& launcher,
                                             const std::vector<std::string>& tail) {
    std::vector<std::string> args{launcher, "-Dkelpak.app-path=" + launcher};
    args.insert(args.end(), tail.begin(), tail.end());
    return args;
  }
};

TEST_F(RobustnessTest, ConfigurationContents) {
  const Bundle bundle = readyBundle(tmp.path());
  const std::string cfg = bundle.cfgPath();

  // Every byte but NUL and line feed, over and over.
  std::string bigLine(10 << 20, '\0');
  for (std::size_t i = 0; i < bigLine.size(); ++i) {
    bigLine[i] = static_cast<char>(i % 254 + 1);
    if (bigLine[i] == '\n') bigLine[i] = '\xff';
  }
  std::string millionLines = "[Application]\n";
  for (int line = 2; line < 1000000; ++line) {
    const char* const kinds[] = {"; comment ", "", "app.mainclass=M", "unknown.property="};
    millionLines += kinds[line % 4] + std::to_string(line) + "\n";
  }
  const std::string randomArg = randomBytes(4096, 7, std::string("\0\n", 2));

  struct Case {
    const char* label;
    std::string content;
    std::vector<std::string> tail;  // the launch's last arguments
    std::string error;              // the failure line instead, when not empty
  };
  const Case cases[] = {
      {"only comments and blank lines", "; one\n\n;[Application]\n;app.mainclass=x\n\n", {}, ""},
      {"CRLF line ends",
       "[Application]\r\napp.mainclass=Main\r\n[ArgOptions]\r\narguments=a b\r\narguments=\r\n",
       {"Main\r", "a b\r", "\r"},
       ""},
      {"header on the last line without a line feed", kMinimalCfg + "[ArgOptions]", {"Main"}, ""},
      {"header without ] on the last line without a line feed",
       kMinimalCfg + "[ArgOptions",
       {},
       "Error parsing [" + cfg + "] file at 3: Missing ']' character"},
      {"1 MiB of random bytes without headers, then a known part",
       randomBytes(1 << 20, 1, "[") + "\n" + kMinimalCfg + "[ArgOptions]\narguments=" + randomArg +
           "\n",
       {"Main", randomArg},
       ""},
      {"a value of 10 MiB",
       kMinimalCfg + "[ArgOptions]\narguments=$APPDIR" + bigLine + "$BINDIR\n",
       {"Main", bundle.appDir() + bigLine + bundle.binDir()},
       ""},
      {"a header of 10 MiB", "[" + bigLine + "]\n" + kMinimalCfg, {"Main"}, ""},
      {"a header of 10 MiB without ]",
       kMinimalCfg + "[" + std::string(10 << 20, 'h') + "\n",
       {},
       "Error parsing [" + cfg + "] file at 3: Missing ']' character"},
      {"a million lines", millionLines + "app.mainclass=Last\n", {"Last"}, ""},
      {"app.runtime twice, the last naming the bundle's runtime",
       kMinimalCfg + "app.runtime=$ROOTDIR/none\napp.runtime=$ROOTDIR/Contents/runtime\n",
       {"Main"},
       ""},
      {"a million lines, the last a header without ]",
       millionLines + "[Application",
       {},
       "Error parsing [" + cfg + "] file at 1000000: Missing ']' character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    bundle.writeCfg(c.content);
    const ProcessResult result = run(bundle);
    if (c.error.empty()) {
      expectLaunch(result, launchArgs(bundle, c.tail));
    } else {
      expectFailure(result, c.error);
    }
  }
}

TEST_F(RobustnessTest, RandomBytesAsConfiguration) {
  const Bundle bundle = readyBundle(tmp.path());
  for (const std::uint32_t seed : {11u, 12u, 13u, 14u}) {
    SCOPED_TRACE(seed);
    bundle.writeCfg(randomBytes(seed * 1000, seed));
    const ProcessResult result = run(bundle);
    // Random bytes hold unknown lines, and likely a line that starts with "["
    // and has no "]".
    if (result.status == 0) {
      EXPECT_TRUE(launchedOnceWith(launchArgs(bundle, {}), calls()));
    } else {
      EXPECT_THAT(result.err, StartsWith("Error parsing [" + bundle.cfgPath() + "] file at "));
      EXPECT_THAT(result.err, EndsWith(": Missing ']' character\n"));
    }
  }
}

TEST_F(RobustnessTest, InputFilesThatAreNoRegularFile) {
  const std::string userDir = "home/Library/Application Support/com.example.demo";
  const std::string userCfg = userDir + "/Demo.cfg";
  const std::string isDirectory = std::strerror(EISDIR);
  const std::string noFile = "Not a regular file";
  // Makes `path` a FIFO without a writer, which blocks a reader that waits.
  const auto fifo = [](const std::string& path) {
    unlink(path.c_str());
    ASSERT_EQ(0, mkfifo(path.c_str(), 0644));
  };
  // Makes `path` a link to a device that never ends.
  const auto device = [](const std::string& path) {
    unlink(path.c_str());
    ASSERT_EQ(0, symlink("/dev/zero", path.c_str()));
  };
  pid_t writer = 0;
  struct Case {
    const char* label;
    std::function<void(const TempDir& dir, const Bundle& bundle)> prepare;
    const char* refused;  // "bundle", "user" or "package": the file refused; null: it launches
    std::string reason;
  };
  const Case cases[] = {
      {"a directory as the configuration",
       [](const TempDir&, const Bundle& bundle) {
         unlink(bundle.cfgPath().c_str());
         makeDirs(bundle.cfgPath());
       },
       "bundle", isDirectory},
      {"a directory as the per-user configuration",
       [&](const TempDir& dir, const Bundle&) { makeDirs(dir / userCfg); }, "user", isDirectory},
      {"a dangling link in the per-user directory",
       [&](const TempDir& dir, const Bundle&) {
         makeDirs(dir / userDir);
         ASSERT_EQ(0, symlink("Missing.cfg", (dir / userCfg).c_str()));
       },
       nullptr, ""},
      {"a link to itself in the per-user directory",
       [&](const TempDir& dir, const Bundle&) {
         makeDirs(dir / userDir);
         ASSERT_EQ(0, symlink((dir / userCfg).c_str(), (dir / userCfg).c_str()));
       },
       nullptr, ""},
      {"a FIFO as the configuration", [&](const TempDir&, const Bundle& b) { fifo(b.cfgPath()); },
       "bundle", noFile},
      {"a FIFO as the per-user configuration",
       [&](const TempDir& dir, const Bundle&) {
         makeDirs(dir / userDir);
         fifo(dir / userCfg);
       },
       "user", noFile},
      {"a FIFO with a writer waiting for a reader",
       [&](const TempDir&, const Bundle& b) {
         fifo(b.cfgPath());
         const std::string path = b.cfgPath();
         writer = fork();
         if (writer == 0) _exit(open(path.c_str(), O_WRONLY) < 0 ? 2 : 0);
       },
       "bundle", noFile},
      {"a device as the configuration",
       [&](const TempDir&, const Bundle& b) { device(b.cfgPath()); }, "bundle", noFile},
      {"a directory as the descriptor",
       [](const TempDir&, const Bundle& b) {
         unlink((b.appDir() + "/.package").c_str());
         makeDirs(b.appDir() + "/.package");
       },
       "package", isDirectory},
      {"a FIFO as the descriptor",
       [&](const TempDir&, const Bundle& b) { fifo(b.appDir() + "/.package"); }, "package", noFile},
      {"a device as the descriptor",
       [&](const TempDir&, const Bundle& b) { device(b.appDir() + "/.package"); }, "package",
       noFile},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    const Bundle bundle = readyBundle(dir.path());
    bundle.writeCfg(kMinimalCfg + "[ArgOptions]\narguments=from-bundle\n");
    writeFile(bundle.appDir() + "/.package", "com.example.demo\n");
    makeDirs(dir / "home");
    env["HOME"] = dir / "home";
    c.prepare(dir, bundle);
    const ProcessResult result = run(bundle);
    if (!c.refused) {
      expectLaunch(result, launchArgs(bundle, {"Main", "from-bundle"}));
    } else {
      const std::string refused = c.refused;
      const std::string path = refused == "user"      ? dir / userCfg
                               : refused == "package" ? bundle.appDir() + "/.package"
                                                      : bundle.cfgPath();
      expectFailure(result, "Error opening \"" + path + "\" file: " + c.reason);
    }
    if (writer > 0) {
      // Still waiting: neither the launcher nor the checker opened the FIFO.
      usleep(200000);
      EXPECT_EQ(0, waitpid(writer, nullptr, WNOHANG));
      kill(writer, SIGKILL);
      waitpid(writer, nullptr, 0);
      writer = 0;
    }
  }
}

TEST_F(RobustnessTest, PackageDescriptors) {
  const Bundle bundle = readyBundle(tmp.path());
  bundle.writeCfg(kMinimalCfg + "[ArgOptions]\narguments=from-bundle\n");
  const std::string descriptor = bundle.appDir() + "/.package";
  struct Case {
    const char* label;
    std::string content;
    std::string userCfg;  // relative to HOME; empty: none
    bool fromUser;
  };
  const Case cases[] = {
      {"an empty file", "", "", false},
      {"a name with a slash", "com.example/demo\n",
       "Library/Application Support/com.example/demo/Demo.cfg", true},
      {"a name with a leading slash", "/com.example.demo\n",
       "Library/Application Support/com.example.demo/Demo.cfg", true},
      {"a name that climbs out with ..", "../../elsewhere\n", "elsewhere/Demo.cfg", true},
      {"the name ..", "..\n", "Library/Demo.cfg", true},
      {"a name that climbs above the root", "../../../../../../../../../../../../../../../x\n", "",
       false},
      {"a name longer than a path may be", std::string(5000, 'n') + "\n", "", false},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    // Present on every Mac; ".." can only climb out of a directory that exists.
    const std::string home = tmp / ("home" + std::to_string(++index));
    makeDirs(home + "/Library/Application Support");
    env["HOME"] = home;
    if (!c.userCfg.empty()) {
      writeFile(home + "/" + c.userCfg, kMinimalCfg + "[ArgOptions]\narguments=from-user\n");
    }
    writeFile(descriptor, c.content);
    expectLaunch(run(bundle),
                 launchArgs(bundle, {"Main", c.fromUser ? "from-user" : "from-bundle"}));
  }
}

TEST_F(RobustnessTest, HomeVariants) {
  const Bundle bundle = readyBundle(tmp.path());
  bundle.writeCfg(kMinimalCfg + "[ArgOptions]\narguments=from-bundle\n");
  writeFile(bundle.appDir() + "/.package", "com.example.demo\n");
  writeFile(tmp / "home/Library/Application Support/com.example.demo/Demo.cfg",
            kMinimalCfg + "[ArgOptions]\narguments=from-user\n");
  writeFile(tmp / "file", "");
  struct Case {
    const char* label;
    bool set;
    std::string home;
    const char* expected;
  };
  const Case cases[] = {
      {"unset", false, "", "from-bundle"},
      {"empty", true, "", "from-bundle"},
      {"pointing nowhere", true, "/nonexistent/home", "from-bundle"},
      {"a file", true, tmp / "file", "from-bundle"},
      {"with trailing slashes", true, tmp / "home//", "from-user"},
      // Relative to the working directory, which holds the home directory here.
      {"relative", true, "home", "from-bundle"},
      {"relative with a dot", true, "./home", "from-bundle"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    env.erase("HOME");
    if (c.set) env["HOME"] = c.home;
    expectLaunch(run(bundle), launchArgs(bundle, {"Main", c.expected}));
  }
  // The trace says why a relative one is ignored.
  env["HOME"] = "home";
  env["KELPAK_DEBUG"] = "true";
  const ProcessResult debug = runProcess(bundle.launcher(), {bundle.launcher()}, env, tmp.path());
  EXPECT_EQ(0, debug.status);
  EXPECT_THAT(debug.err, HasSubstr("] MacLauncher:"));
  EXPECT_THAT(debug.err, HasSubstr(": Ignoring \"HOME\" value \"home\": not an absolute path\n"));
}

TEST_F(RobustnessTest, InstallationDirectories) {
  // Eight directories, each named with "$APPDIR" 36 times.
  std::string manyMacros;
  for (int level = 0; level < 8; ++level) {
    manyMacros += level ? "/" : "";
    for (int i = 0; i < 36; ++i) manyMacros += "$APPDIR";
  }
  const std::string names[] = {
      "$APPDIR",    "$ROOTDIR",  "$BINDIR",   "$ROOTDIR$APPDIR$BINDIR",
      "with space", "quote\"'`", "new\nline", "not UTF-8 \xff\xfe\xc0\x80",
      "My.App",     manyMacros,
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(escapeBytes(shortened(name)));
    TempDir dir;
    makeDirs(dir / name);
    // The bundle, and so the executable and its configuration, carry the name too.
    const bool oneLevel = name.find('/') == std::string::npos;
    Bundle bundle(dir / name, oneLevel ? "App " + name : "App");
    bundle.installRuntime();
    bundle.writeCfg(
        "[Application]\napp.classpath=$APPDIR/x.zep\napp.mainclass=Main\n"
        "[VexaOptions]\nvexa-options=-Ddirs=$BINDIR:$ROOTDIR\n"
        "[ArgOptions]\narguments=$ROOTDIR|$BINDIR|$APPDIR\n");
    const std::string exe = bundle.launcher();
    expectLaunch(run(bundle),
                 {exe, "-classpath", bundle.appDir() + "/x.zep",
                  "-Ddirs=" + bundle.binDir() + ":" + bundle.root(), "-Dkelpak.app-path=" + exe,
                  "Main", bundle.root() + "|" + bundle.binDir() + "|" + bundle.appDir()});

    unlink((bundle.runtimeDir() + "/" + Bundle::kRuntimeLib).c_str());
    expectFailure(run(bundle),
                  "Failed to find ZORM in \"" + printed(bundle.runtimeDir()) + "\" directory.");
  }
}

TEST_F(RobustnessTest, LibraryPathVariableOfOneMebibyte) {
  const Bundle bundle = readyBundle(tmp.path());
  const std::string app = bundle.appDir();
  std::string entries;
  for (int i = 0; entries.size() < (1u << 20); ++i) entries += "/opt/lib" + std::to_string(i) + ":";
  entries.resize(1u << 20);
  // Beside a shim that may be preloaded already.
  std::string& preload = env[kPreloadVariable];
  preload = LX_SETENV_PRELOAD_PATH + (preload.empty() ? "" : ":" + preload);
  env["LX_TEST_SETENV"] = "DYLD_LIBRARY_PATH";
  env["LX_TEST_SETENV_FILE"] = tmp / "value";

  struct Case {
    const char* label;
    std::string value;
    std::string seen;
  };
  const Case cases[] = {
      {"without the application directory", entries, entries + ":" + app},
      {"with the application directory last", entries + ":" + app, entries + ":" + app},
      {"separators only", std::string(1u << 20, ':'), std::string(1u << 20, ':') + ":" + app},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    writeFile(tmp / "value", c.value);
    expectLaunch(run(bundle), launchArgs(bundle, {"Main"}));
    const std::vector<Call> record = calls();
    ASSERT_EQ(1u, record.size());
    EXPECT_TRUE(escapeBytes(c.seen) == record[0].libraryPathVariable)
        << shortened(record[0].libraryPathVariable);
  }
}

TEST_F(RobustnessTest, HundredThousandArguments) {
  const Bundle bundle = readyBundle(tmp.path());
  const std::string odd[] = {
      "", "line\nbreak", "\r\n", "\xff\xfe\xc0\x80", "-psn_0_12345", "-psn_", "$APPDIR", "-psn",
  };
  std::vector<std::string> given;
  std::vector<std::string> passed{"Main"};
  for (int i = 0; i < 100000; ++i) {
    const std::string arg = i % 10 ? std::to_string(i) : odd[i / 10 % 8];
    given.push_back(arg);
    if (arg.compare(0, 5, "-psn_") != 0) passed.push_back(arg);
  }
  expectLaunch(run(bundle, given), launchArgs(bundle, passed));
}

TEST_F(RobustnessTest, RuntimeLibrariesThatDoNotLoad) {
  const auto directory = [](const std::string& library) {
    unlink(library.c_str());
    makeDirs(library);
  };
  const auto emptyFile = [](const std::string& library) { writeFile(library, ""); };
  const auto textFile = [](const std::string& library) { writeFile(library, "text\n"); };
  const auto noEntry = [](const std::string& library) {
    copyFile(LX_TEST_NO_ENTRY_PATH, library, 0755);
  };
  struct Case {
    const char* label;
    std::function<void(const std::string& library)> prepare;
    const char* call;  // the failing call the line names
  };
  const Case cases[] = {
      {"a directory", directory, "dlopen"},
      {"an empty file", emptyFile, "dlopen"},
      {"a text file", textFile, "dlopen"},
      {"a library without the entry point", noEntry, "dlsym"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    const Bundle bundle = readyBundle(dir.path());
    const std::string library = bundle.runtimeDir() + "/" + Bundle::kRuntimeLib;
    c.prepare(library);
    const ProcessResult result = run(bundle);
    EXPECT_EQ(1, result.status);
    EXPECT_THAT(result.err, StartsWith(std::string(c.call) + "(" + library));
    EXPECT_TRUE(calls().empty());
  }
}

TEST_F(RobustnessTest, EntryPoints) {
  struct Case {
    const char* label;
    const char* variable;
    const char* value;
    int status;
    const char* err;
    std::size_t calls;
  };
  const Case cases[] = {
      {"returns non-zero", "RLX_TEST_RESULT", "3", 1, "Failed to launch ZORM\n", 1},
      {"enters main again", "RLX_TEST_REENTER", "1", 0, "", 2},
      {"enters main again from a nested call twice over", "RLX_TEST_REENTER", "2", 0, "", 3},
  };
  const Bundle bundle = readyBundle(tmp.path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    env[c.variable] = c.value;
    const ProcessResult result = run(bundle, {"arg"});
    env.erase(c.variable);
    EXPECT_EQ(c.status, result.status);
    EXPECT_EQ(c.err, result.err);
    const std::vector<Call> record = calls();
    ASSERT_EQ(c.calls, record.size());
    for (std::size_t i = 0; i < record.size(); ++i) {
      EXPECT_EQ(std::to_string(i + 1) + " depth=" + std::to_string(i), record[i].header);
      EXPECT_TRUE(launchedOnceWith(launchArgs(bundle, {"Main", "arg"}), {record[i]}));
    }
  }
}

TEST_F(RobustnessTest, PathsAndLinks) {
  // How a case starts the launcher, and what must follow: a launch of
  // `launcher` with the bundle's arguments, or the failure line `error`.
  struct Start {
    std::string program;  // as exec is given it, relative to `cwd`
    std::string cwd;
    std::string launcher;
    std::string error;
  };
  // Every case has the bundle "Demo.app" in its directory and starts from
  // "work/sub" (unless it says otherwise), next to a decoy "work/Demo.app":
  // whatever is looked up relative to the working directory finds the decoy.
  struct Case {
    const char* label;
    std::function<Start(const std::string& dir, const Bundle& bundle)> prepare;
  };
  const std::string relativeLink = "../Demo.app/Contents/MacOS/Demo";
  std::vector<Case> cases = {
      {"a relative link target counts from the link's directory",
       [&](const std::string& dir, const Bundle& bundle) {
         makeDirs(dir + "/bin");
         EXPECT_EQ(0, symlink(relativeLink.c_str(), (dir + "/bin/real").c_str()));
         return Start{dir + "/bin/real", dir + "/work/sub", bundle.launcher(), ""};
       }},
      {"a link target with . and ..",
       [](const std::string& dir, const Bundle& bundle) {
         makeDirs(dir + "/bin");
         EXPECT_EQ(
             0, symlink("../Demo.app/Contents/app/../MacOS/./Demo", (dir + "/bin/dotted").c_str()));
         return Start{dir + "/bin/dotted", dir + "/work/sub", bundle.launcher(), ""};
       }},
      {".. after a link to a directory is the parent of its target",
       [](const std::string& dir, const Bundle& bundle) {
         makeDirs(dir + "/inner");
         EXPECT_EQ(0, symlink((dir + "/inner").c_str(), (dir + "/work/lnk").c_str()));
         return Start{"lnk/../Demo.app/Contents/MacOS/Demo", dir + "/work", bundle.launcher(), ""};
       }},
      {"a relative link inside a linked directory",
       [](const std::string& dir, const Bundle& bundle) {
         makeDirs(dir + "/opt/bin");
         EXPECT_EQ(0,
                   symlink("../../Demo.app/Contents/MacOS/Demo", (dir + "/opt/bin/tool").c_str()));
         EXPECT_EQ(0, symlink((dir + "/opt/bin").c_str(), (dir + "/work/sub/bin").c_str()));
         return Start{"bin/tool", dir + "/work/sub", bundle.launcher(), ""};
       }},
      {"a chain of three links",
       [&](const std::string& dir, const Bundle& bundle) {
         makeDirs(dir + "/bin");
         makeDirs(dir + "/lib");
         EXPECT_EQ(0, symlink(relativeLink.c_str(), (dir + "/lib/c").c_str()));
         EXPECT_EQ(0, symlink("../lib/c", (dir + "/bin/b").c_str()));
         EXPECT_EQ(0, symlink("b", (dir + "/bin/a").c_str()));
         return Start{dir + "/bin/a", dir + "/work/sub", bundle.launcher(), ""};
       }},
      {"a start with .. from a sibling directory",
       [](const std::string&, const Bundle& bundle) {
         return Start{"../MacOS/Demo", bundle.appDir(), bundle.launcher(), ""};
       }},
      {"a working directory of more than 1024 bytes",
       [](const std::string& dir, const Bundle& bundle) {
         std::string cwd = dir + "/work/sub";
         std::string up = "../../";
         while (cwd.size() <= 1100) {
           cwd += "/" + std::string(200, 'd');
           up += "../";
         }
         makeDirs(cwd);
         return Start{up + "Demo.app/Contents/MacOS/Demo", cwd, bundle.launcher(), ""};
       }},
      {"a bundle path with \":\"",
       [](const std::string& dir, const Bundle&) {
         const Bundle colon = readyBundle(dir + "/A:B");
         return Start{colon.launcher(), dir + "/work/sub", "",
                      "Cannot launch from \"" + colon.root() +
                          "\": the path contains \":\", which separates the entries of a "
                          "path list"};
       }},
  };
  // A launcher at "<case directory>/Lz" is fewer than three directories deep
  // when the temporary folder is one level below the root, as "/tmp" is.
  if (FileUtils::dirname(FileUtils::dirname(tmp.path())).empty()) {
    cases.push_back(
        {"a launcher fewer than three directories deep", [](const std::string& dir, const Bundle&) {
           copyFile(LX_APPLAUNCHER_PATH, dir + "/Lz", 0755);
           // What a bundle in the working directory would hold.
           const std::string cwd = dir + "/work/sub";
           writeFile(cwd + "/Contents/app/Lz.cfg", kMinimalCfg);
           copyFile(LX_TEST_RUNTIME_PATH, cwd + "/Contents/runtime/" + Bundle::kRuntimeLib, 0755);
           return Start{dir + "/Lz", cwd, "",
                        "Error opening \"/Contents/app/Lz.cfg\" file: " +
                            std::string(std::strerror(ENOENT))};
         }});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    const Bundle bundle = readyBundle(dir.path());
    bundle.writeCfg(kMinimalCfg + "[ArgOptions]\narguments=real\n");
    makeDirs(dir / "work/sub");
    readyBundle(dir / "work").writeCfg(kMinimalCfg + "[ArgOptions]\narguments=decoy\n");
    const Start start = c.prepare(dir.path(), bundle);
    const ProcessResult result = runIn(start.cwd, start.program, {start.program});
    if (start.error.empty()) {
      expectLaunch(result, launchArgs(start.launcher, {"Main", "real"}));
    } else {
      expectFailure(result, start.error);
    }
  }
}

TEST_F(RobustnessTest, RuntimeDirectoryCountsFromTheRoot) {
  const Bundle bundle = readyBundle(tmp.path());
  bundle.installRuntime(Bundle::kRuntimeLib, bundle.root());
  bundle.installRuntime(Bundle::kRuntimeLib, bundle.root() + "/rt");
  // Planted in the working directory, which must never supply the runtime.
  for (const char* dir : {"", "/rt", "/elsewhere"}) {
    bundle.installRuntime(Bundle::kRuntimeLib, tmp.path() + dir);
  }
  struct Case {
    const char* runtime;
    std::string library;  // empty: not found
  };
  const Case cases[] = {
      {"", bundle.root()},
      {"rt", bundle.root() + "/rt"},
      {"./rt/", bundle.root() + "/./rt/"},
      {"elsewhere", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.runtime);
    bundle.writeCfg(kMinimalCfg + "app.runtime=" + c.runtime + "\n");
    const ProcessResult result = run(bundle);
    if (c.library.empty()) {
      expectFailure(
          result, "Failed to find ZORM in \"" + bundle.root() + "/" + c.runtime + "\" directory.");
      continue;
    }
    expectLaunch(result, launchArgs(bundle, {"Main"}));
    ASSERT_EQ(1u, calls().size());
    EXPECT_EQ(escapeBytes(FileUtils::combinePath(c.library, Bundle::kRuntimeLib)),
              calls()[0].library);
  }
}

TEST_F(RobustnessTest, NulBytes) {
  const Bundle bundle = readyBundle(tmp.path());
  const std::string nul(1, '\0');
  const std::string descriptor = bundle.appDir() + "/.package";
  // What the name up to its NUL would find.
  writeFile(tmp / "home/Library/Application Support/com", kMinimalCfg);
  struct Case {
    const char* label;
    std::string cfg;
    std::string package;  // empty: none
    std::string error;    // empty: it launches
  };
  const std::string atLine = "Error parsing [" + bundle.cfgPath() + "] file at ";
  const Case cases[] = {
      {"in a known value", "[Application]\napp.mainclass=Ma" + nul + "in\n", "",
       atLine + "2: NUL character in the value of app.mainclass"},
      {"in an argument", kMinimalCfg + "[ArgOptions]\narguments=" + nul + "x\n", "",
       atLine + "4: NUL character in the value of arguments"},
      {"in skipped lines", kMinimalCfg + "other=" + nul + "\n[Other]\napp.mainclass=" + nul + "\n",
       "", ""},
      {"in the package name", kMinimalCfg, "com" + nul + ".example.demo\n",
       "Error reading \"" + descriptor + "\" file: The package name contains a NUL character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    bundle.writeCfg(c.cfg);
    unlink(descriptor.c_str());
    if (!c.package.empty()) writeFile(descriptor, c.package);
    const ProcessResult result = run(bundle);
    if (c.error.empty()) {
      expectLaunch(result, launchArgs(bundle, {"Main"}));
    } else {
      expectFailure(result, c.error);
    }
  }
}

TEST_F(RobustnessTest, OutOfMemory) {
#ifdef LX_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizers reserve more address space than the limits here allow";
#endif
  const Bundle bundle = readyBundle(tmp.path());
  const std::string outOfMemory = std::string(std::strerror(ENOMEM)) + "\n";
  // Address-space limits from one at which the loader cannot even map the
  // launcher up to one at which it launches: whatever fails for lack of
  // memory, the launcher ends by itself with one line. Lower still, the
  // kernel cannot finish the exec and kills the process before the loader
  // runs; where that ends moves with the launcher's size.
  int failures = 0;
  int limit = 1024;
  for (; limit < (1 << 20); limit += 16) {
    SCOPED_TRACE(limit);
    const std::vector<std::string> argv{
        "sh", "-c",
        "ulimit -v " + std::to_string(limit) + " && export LX_TEST_MAIN_MARKER=1 && exec \"$0\"",
        bundle.launcher()};
    const ProcessResult result = runProcess("/bin/sh", argv, env, tmp.path(), kTimeoutSeconds);
    // Without the preloaded shim's mark, the kernel, the loader or the start-up
    // code gave up before main, however that shows in this build.
    if (result.out.compare(0, 5, "main\n") != 0) continue;
    EXPECT_EQ("main\n", result.out);
    EXPECT_TRUE(result.exited && (result.status == 0 || result.status == 1))
        << result.status << " " << result.signal << " " << result.err;
    EXPECT_LE(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    if (result.err == outOfMemory) ++failures;
    if (result.status == 0) break;
  }
  EXPECT_LT(limit, 1 << 20) << "never launched";
  EXPECT_GT(failures, 0) << "no limit made an allocation fail";
}
