// The failure line in the system log, end to end on Linux: the real launcher
// with a preloaded shim that sends its "/dev/log" datagrams to a socket of the
// test's own and records any syslog(3) calls and the descriptors open before
// main.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "BundleTest.h"
#include "Process.h"
#include "Record.h"
#include "TestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

// Generous for the sanitizer build; a launcher that waits for the log ends the
// run as timed out.
const int kTimeoutSeconds = 20;

sockaddr_un unixAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) throw std::runtime_error("too long: " + path);
  std::strcpy(address.sun_path, path.c_str());
  return address;
}

// A socket of `type` bound at `path`, as a log daemon binds "/dev/log". It
// reads only when asked; the socket file stays when it is closed.
class LogSocket {
 public:
  explicit LogSocket(const std::string& path, int type = SOCK_DGRAM)
      : path(path), type(type), fd(socket(AF_UNIX, type | SOCK_NONBLOCK, 0)) {
    const sockaddr_un address = unixAddress(path);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        (type == SOCK_STREAM && listen(fd, 8) != 0)) {
      throw std::runtime_error("cannot bind " + path);
    }
  }
  ~LogSocket() { close(fd); }
  LogSocket(const LogSocket&) = delete;
  LogSocket& operator=(const LogSocket&) = delete;

  // Sends to itself until its queue is full; returns how many it sent.
  int fill() const {
    const sockaddr_un address = unixAddress(path);
    int sent = 0;
    while (sendto(fd, "filler", 6, 0, reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) == 6) {
      ++sent;
    }
    return sent;
  }

  std::vector<std::string> received() const {
    std::vector<std::string> records;
    char buffer[65536];
    if (type == SOCK_DGRAM) {
      for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) >= 0;) {
        records.emplace_back(buffer, n);
      }
    }
    // Over a stream, a connection carries one record ended by one NUL.
    for (int connection; type == SOCK_STREAM && (connection = accept(fd, nullptr, nullptr)) >= 0;
         close(connection)) {
      std::string data;
      for (ssize_t n; (n = read(connection, buffer, sizeof buffer)) > 0;) data.append(buffer, n);
      const bool ended = !data.empty() && data.back() == '\0';
      records.push_back(ended ? data.substr(0, data.size() - 1) : "not NUL-terminated: " + data);
    }
    return records;
  }

 private:
  std::string path;
  int type;
  int fd;
};

// The line of a record that syslog(3) would have sent for an error of facility
// user from "Demo" with its process id; the whole record, marked, otherwise.
std::string lineOf(const std::string& record) {
  static const std::regex header(
      "<11>[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} Demo\\[[1-9][0-9]*\\]: ");
  std::smatch match;
  if (!std::regex_search(record, match, header, std::regex_constants::match_continuous)) {
    return "unexpected record: " + record;
  }
  return match.suffix();
}

}  // namespace

class SystemLogTest : public BundleTest {
 protected:
  void SetUp() override {
    BundleTest::SetUp();
    env["LD_PRELOAD"] = LX_SYSLOG_PRELOAD_PATH;
    env["LX_TEST_SYSLOG_RECORD"] = tmp / "syslog";
    env["LX_TEST_SYSLOG_SOCKET"] = tmp / "log";
  }

  ProcessResult run(const Bundle& bundle) {
    unlink((tmp / "record").c_str());
    unlink((tmp / "syslog").c_str());
    return runProcess(bundle.launcher(), commandLine(bundle, {}), env, std::string(),
                      kTimeoutSeconds);
  }

  // The values the shim recorded under `key`.
  std::vector<std::string> shimRecord(const std::string& key) const {
    std::vector<std::string> values;
    std::istringstream lines(readFile(tmp / "syslog"));
    for (std::string line; std::getline(lines, line);) {
      if (line.compare(0, key.size() + 1, key + "=") == 0)
        values.push_back(line.substr(key.size() + 1));
    }
    return values;
  }
};

TEST_F(SystemLogTest, EveryFailureLineOnceAndNothingElse) {
  // A line break in the path shows that the log gets the escaped line.
  const std::string parent = tmp / "line\nbreak";
  makeDirs(parent);
  const std::string runtime = "Failed to find ZORM in \"" + tmp.path() +
                              "/line\\nbreak/Demo.app/Contents/runtime\" directory.";
  // A line far beyond a datagram's size, whose cut falls inside a character.
  const std::string rootDir = tmp.path() + "/line\\nbreak/Demo.app/";
  const std::string prefix = "Failed to find ZORM in \"" + rootDir;
  std::string longRuntime((2045 - prefix.size()) % 2 == 0 ? 1 : 0, 'x');
  for (int i = 0; i < 150000; ++i) longRuntime += "\u00e9";
  const std::string longLine = prefix + longRuntime + "\" directory.";
  struct Case {
    const char* label;
    Environment variables;
    bool removeRuntime;
    int status;
    std::string line;           // sent to the log; empty: nothing
    std::string logged = line;  // the line as the log gets it
    std::string runtime = "";   // app.runtime; empty: none
    int logType = SOCK_DGRAM;
  };
  const Case cases[] = {
      {"success", {}, false, 0, ""},
      {"success with logging on", {{"KELPAK_DEBUG", "true"}}, false, 0, ""},
      {"no runtime library", {}, true, 1, runtime},
      {"no runtime library with logging on", {{"KELPAK_DEBUG", "true"}}, true, 1, runtime},
      {"entry point fails", {{"RLX_TEST_RESULT", "2"}}, false, 1, "Failed to launch ZORM"},
      {"entry point fails, standard error closed",
       {{"RLX_TEST_RESULT", "2"}, {"LX_TEST_CLOSE_STDERR", "1"}},
       false,
       1,
       "Failed to launch ZORM"},
      {"nested entry fails",
       {{"RLX_TEST_REENTER", "1"}, {"RLX_TEST_NESTED_RESULT", "5"}},
       false,
       0,
       "Failed to launch ZORM"},
      {"entry point fails, standard error a pipe without a reader",
       {{"RLX_TEST_RESULT", "2"}, {"LX_TEST_BREAK_STDERR", "1"}},
       false,
       1,
       "Failed to launch ZORM"},
      {"nested entry fails with logging on, standard error a pipe without a reader",
       {{"RLX_TEST_REENTER", "1"},
        {"RLX_TEST_NESTED_RESULT", "5"},
        {"KELPAK_DEBUG", "true"},
        {"LX_TEST_BREAK_STDERR", "1"}},
       false,
       0,
       "Failed to launch ZORM"},
      {"a failure line of 300 KB",
       {},
       false,
       1,
       longLine,
       longLine.substr(0, 2044) + "...",
       longRuntime},
      {"a stream socket as the log",
       {{"RLX_TEST_RESULT", "2"}},
       false,
       1,
       "Failed to launch ZORM",
       "Failed to launch ZORM",
       "",
       SOCK_STREAM},
      // Its own path is "/dev/fd/100", closed: the name comes from argument 0.
      {"started through a close-on-exec descriptor",
       {{"LX_TEST_FEXECVE", "1"}},
       false,
       1,
       "lstat(/dev/fd/100) failed. Error: " + std::string(std::strerror(ENOENT))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Bundle bundle = readyBundle(parent);
    if (c.removeRuntime) unlink((bundle.runtimeDir() + "/" + Bundle::kRuntimeLib).c_str());
    if (!c.runtime.empty()) bundle.writeCfg(kMinimalCfg + "app.runtime=" + c.runtime + "\n");
    LogSocket log(tmp / "log", c.logType);
    Environment saved = env;
    env.insert(c.variables.begin(), c.variables.end());
    const ProcessResult result = run(bundle);
    env = saved;
    unlink((tmp / "log").c_str());

    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(0, result.signal);
    EXPECT_EQ(c.status, result.status);
    std::vector<std::string> lines;
    for (const std::string& record : log.received()) lines.push_back(lineOf(record));
    if (c.line.empty()) {
      EXPECT_THAT(lines, IsEmpty());
    } else {
      EXPECT_THAT(lines, ElementsAre(c.logged));
    }
    // Never where standard error was, even when it was closed.
    for (const std::string& fd : shimRecord("logfd")) EXPECT_LE(3, std::stoi(fd));
    // The same line on standard error; the debug records go there only.
    const bool closed = c.variables.count("LX_TEST_CLOSE_STDERR") > 0 ||
                        c.variables.count("LX_TEST_BREAK_STDERR") > 0;
    const std::string printed = closed || c.line.empty() ? "" : c.line + "\n";
    if (c.variables.count("KELPAK_DEBUG")) {
      EXPECT_THAT(result.err, HasSubstr(printed));
    } else {
      EXPECT_EQ(printed, result.err);
    }
    // Linux never calls glibc's syslog(3), which can wait on a full socket.
    EXPECT_THAT(shimRecord("openlog"), IsEmpty());
    EXPECT_THAT(shimRecord("syslog"), IsEmpty());
    EXPECT_THAT(shimRecord("closelog"), IsEmpty());
    // The runtime sees what the launcher was started with, also after a
    // failure was logged while it ran.
    const std::vector<std::string> before = shimRecord("fds");
    const std::vector<std::string> sigpipe = shimRecord("sigpipe");
    ASSERT_EQ(1u, before.size());
    ASSERT_EQ(1u, sigpipe.size());
    for (const Call& call : calls()) {
      EXPECT_EQ(before[0], call.descriptors);
      EXPECT_EQ(sigpipe[0], call.sigpipe);
      if (!call.descriptorsAfterMain.empty()) {
        EXPECT_EQ(before[0], call.descriptorsAfterMain);
      }
    }
  }
}

TEST_F(SystemLogTest, LogThatTakesNothingDoesNotHoldTheLauncher) {
  const Bundle bundle = readyBundle(tmp.path());
  unlink((bundle.runtimeDir() + "/" + Bundle::kRuntimeLib).c_str());
  const std::string line = "Failed to find ZORM in \"" + bundle.runtimeDir() + "\" directory.\n";
  struct Case {
    const char* label;
    std::function<void()> prepare;
  };
  std::unique_ptr<LogSocket> full;
  int filled = 0;
  const Case cases[] = {
      {"no socket", [] {}},
      {"a socket that nobody reads any more", [&] { LogSocket gone(tmp / "log"); }},
      {"a socket whose queue is full",
       [&] {
         full.reset(new LogSocket(tmp / "log"));
         filled = full->fill();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    unlink((tmp / "log").c_str());
    c.prepare();
    const ProcessResult result = run(bundle);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(1, result.status);
    EXPECT_EQ(line, result.err);
  }
  // The launcher's record was dropped, not queued.
  ASSERT_GT(filled, 0);
  EXPECT_EQ(static_cast<std::size_t>(filled), full->received().size());
}

TEST_F(SystemLogTest, AlertOnceForAFailedLaunchFromTheDesktopOnly) {
  const std::string load = "dlopen";  // of CoreFoundation's path
  const std::string title = "The application \"Demo\" cannot be opened.";
  // The calls of an alert showing `text`, in order.
  const auto alert = [&](const std::string& text) {
    const std::string string = "string|0|0x8000100|0|";
    return std::vector<std::string>{load,
                                    string + title,
                                    string + text,
                                    "show|300|0|0|1|" + title + "|" + text,
                                    "release|" + title,
                                    "release|" + text};
  };
  const std::vector<std::string> none;
  const Bundle bundle = readyBundle(tmp.path());
  const std::string fail = "Failed to launch ZORM";
  const std::string missing = "Failed to find ZORM in \"" + bundle.root() + "/";
  // Longer than the alert's text; the "a" makes its 1,000th byte the first of an "é".
  std::string longDir = missing.size() % 2 ? "" : "a";
  for (int i = 0; i < 600; ++i) longDir += "\xC3\xA9";
  const std::string longLine = missing + longDir + "\" directory.";
  struct Case {
    const char* label;
    Environment variables;  // on top of a failing launch from the Finder
    std::string runtime;    // "app.runtime", if any
    int failures;
    std::string line;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"from the Finder", {}, "", 1, fail, alert(fail)},
      {"from the Finder, logging on", {{"KELPAK_DEBUG", "true"}}, "", 1, fail, alert(fail)},
      {"from a terminal", {{"LX_TEST_STDERR_TERMINAL", "1"}}, "", 1, fail, none},
      {"from a script", {{"LX_TEST_PARENT_PID", std::to_string(getpid())}}, "", 1, fail, none},
      {"success", {{"RLX_TEST_RESULT", "0"}}, "", 0, "", none},
      {"second entry fails, then the first",
       {{"RLX_TEST_REENTER", "1"}, {"RLX_TEST_NESTED_RESULT", "5"}},
       "",
       2,
       fail,
       alert(fail)},
      {"opted out", {{"KELPAK_NO_ALERT", "true"}}, "", 1, fail, none},
      {"opted out not exactly", {{"KELPAK_NO_ALERT", "TRUE"}}, "", 1, fail, alert(fail)},
      {"library absent", {{"LX_TEST_ALERT_LIBRARY", tmp / "none"}}, "", 1, fail, {load}},
      {"function missing",
       {{"LX_TEST_ALERT_LIBRARY", LX_ALERT_LIBRARY_WITHOUT_ALERT}},
       "",
       1,
       fail,
       {load}},
      {"over-long message",
       {},
       longDir,
       1,
       longLine,
       alert(longLine.substr(0, 999) + "\xE2\x80\xA6")},
      {"message not UTF-8",
       {},
       "bad\xFF",
       1,
       missing + "bad\xFF\" directory.",
       alert(missing + "bad\xEF\xBF\xBD\" directory.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    bundle.writeCfg(kMinimalCfg + (c.runtime.empty() ? "" : "app.runtime=" + c.runtime + "\n"));
    LogSocket log(tmp / "log");
    Environment saved = env;
    env.insert({{"LX_TEST_PARENT_PID", "1"}, {"LX_TEST_ALERT_LIBRARY", LX_ALERT_LIBRARY}});
    env["RLX_TEST_RESULT"] = "2";
    for (const auto& variable : c.variables) env[variable.first] = variable.second;
    const ProcessResult result = run(bundle);
    env = saved;
    unlink((tmp / "log").c_str());

    EXPECT_EQ(c.failures ? 1 : 0, result.status);
    EXPECT_EQ(c.calls, shimRecord("alert"));
    // The lines on standard error and in the log, as without the alert.
    std::vector<std::string> logged;
    std::string printed;
    for (const std::string& record : log.received()) {
      logged.push_back(lineOf(record));
      printed += logged.back() + "\n";
    }
    EXPECT_EQ(std::vector<std::string>(c.failures, c.line), logged);
    if (!c.variables.count("KELPAK_DEBUG")) {
      EXPECT_EQ(printed, result.err);
    }
  }
}
