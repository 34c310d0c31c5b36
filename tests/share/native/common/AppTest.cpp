#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "TestSupport.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/app.h"

using ::testing::MatchesRegex;

namespace {

int throwLine = 0;
int traceLine = 0;

void succeed() {}

void failWithLxError() {
  traceLine = __LINE__ + 1;
  LX_TRACE("about to fail");
  throwLine = __LINE__ + 1;
  LX_THROW("Failed to launch ZORM");
}

void failWithRuntimeError() {
  errno = EACCES;
  throw std::runtime_error("not shown");
}

void failWithInt() { throw 42; }

void failWithLineBreaks() { LX_THROW("Failed to find ZORM in \"/a\nb\r\" directory."); }

void failWithNul() { LX_THROW("Failed to find ZORM in \"" << std::string("/a\0b", 4) << "\""); }

// Records what the last-error appender would print, and when.
class LastErrorSpy : public LogAppender {
 public:
  void append(const LogEvent& event) override {
    messages.push_back(app::lastErrorMsg());
    records.push_back(event.message);
  }
  std::vector<std::string> messages;
  std::vector<std::string> records;
};

struct FrameRun {
  int result;
  std::string err;
  std::string out;
};

FrameRun runFrame(app::LauncherFunc func, LogAppender* lastError = nullptr) {
  CapturedStream err(std::cerr);
  CapturedStream out(std::cout);
  const int result = app::launch(std::nothrow, func, lastError);
  return {result, err.text(), out.text()};
}

}  // namespace

namespace SystemLog {
// The launcher's seam: where its system-log records go.
extern void (*sendRecord)(const std::string& identity, const std::string& line);
}  // namespace SystemLog

namespace {

std::vector<std::string> systemLogLines;

// While it exists, the system log's records are kept in systemLogLines instead
// of reaching the machine's log.
class ScopedSystemLog {
 public:
  ScopedSystemLog() : saved(SystemLog::sendRecord) {
    systemLogLines.clear();
    SystemLog::sendRecord = [](const std::string&, const std::string& line) {
      systemLogLines.push_back(line);
    };
  }
  ~ScopedSystemLog() { SystemLog::sendRecord = saved; }
  ScopedSystemLog(const ScopedSystemLog&) = delete;
  ScopedSystemLog& operator=(const ScopedSystemLog&) = delete;

 private:
  void (*const saved)(const std::string&, const std::string&);
};

}  // namespace

class AppTest : public ::testing::Test {
 protected:
  ScopedSystemLog systemLog;
  ScopedEnv debug{"KELPAK_DEBUG"};
  // Each frame leaves its chosen appender installed.
  ScopedDefaultAppender appender;
};

TEST_F(AppTest, QuietOutcomes) {
  struct Case {
    app::LauncherFunc func;
    int result;
    std::string err;
  };
  const Case cases[] = {
      {succeed, 0, ""},
      {failWithLxError, 1, "Failed to launch ZORM\n"},
      {failWithRuntimeError, 1, std::string(std::strerror(EACCES)) + "\n"},
      {failWithInt, 1, "Unknown error\n"},
      {failWithLineBreaks, 1, "Failed to find ZORM in \"/a\\nb\\r\" directory.\n"},
      {failWithNul, 1, "Failed to find ZORM in \"/a\\0b\"\n"},
  };
  for (const Case& c : cases) {
    systemLogLines.clear();
    const FrameRun run = runFrame(c.func);
    EXPECT_EQ(c.result, run.result) << c.err;
    EXPECT_EQ(c.err, run.err);
    EXPECT_EQ("", run.out);
    // The same line, without its line feed, is the system log's one record.
    std::vector<std::string> logged;
    if (!c.err.empty()) logged.push_back(c.err.substr(0, c.err.size() - 1));
    EXPECT_EQ(logged, systemLogLines);
  }
}

TEST_F(AppTest, OnlyExactlyTrueSwitchesLoggingOn) {
  for (const char* value : {"TRUE", "1", "true ", "", " true", "True", "yes"}) {
    ScopedEnv env("KELPAK_DEBUG", value);
    EXPECT_FALSE(app::isWithLogging()) << "'" << value << "'";
    const FrameRun run = runFrame(failWithLxError);
    EXPECT_EQ("Failed to launch ZORM\n", run.err) << "'" << value << "'";
  }
  ScopedEnv env("KELPAK_DEBUG", "true");
  EXPECT_TRUE(app::isWithLogging());
}

TEST_F(AppTest, DebugFailureShowsRecordsMessageAndExit) {
  ScopedEnv env("KELPAK_DEBUG", "true");
  const FrameRun run = runFrame(failWithLxError);
  EXPECT_EQ(1, run.result);
  const std::string lines[] = {
      "\\[TRACE\\] app:([0-9]+): Entering launch\n",
      "\\[TRACE\\] AppTest:" + std::to_string(traceLine) + ": about to fail\n",
      "\\[ERROR\\] app:[0-9]+: Exception with message 'AppTest\\(" + std::to_string(throwLine) +
          "\\) at failWithLxError\\(\\): Failed to launch ZORM' caught\n",
      "Failed to launch ZORM\n",
      "\\[TRACE\\] app:0: Exiting launch \\(entered at app:[0-9]+\\)\n",
  };
  std::string pattern;
  for (const std::string& line : lines) pattern += line;
  EXPECT_THAT(run.err, MatchesRegex(pattern));
  EXPECT_EQ("", run.out);
}

TEST_F(AppTest, DebugOutcomesOfOtherFailures) {
  ScopedEnv env("KELPAK_DEBUG", "true");
  const FrameRun runtime = runFrame(failWithRuntimeError);
  EXPECT_THAT(runtime.err,
              MatchesRegex(".*\\[ERROR\\] app:[0-9]+: Exception with message 'not shown' caught\n" +
                           std::string(std::strerror(EACCES)) + "\n\\[TRACE\\] app:0: Exiting.*"));
  const FrameRun unknown = runFrame(failWithInt);
  EXPECT_THAT(unknown.err, MatchesRegex(".*\\[ERROR\\] app:[0-9]+: Unknown exception caught\n"
                                        "Unknown error\n\\[TRACE\\] app:0: Exiting.*"));
  const FrameRun success = runFrame(succeed);
  EXPECT_EQ(0, success.result);
  EXPECT_THAT(success.err, MatchesRegex("\\[TRACE\\] app:[0-9]+: Entering launch\n"
                                        "\\[TRACE\\] app:0: Exiting launch [^\n]*\n"));
}

TEST_F(AppTest, LastErrorAppenderSeesTheMessageOnlyDuringTheReport) {
  LastErrorSpy spy;
  const FrameRun run = runFrame(failWithLxError, &spy);
  EXPECT_EQ(1, run.result);
  EXPECT_EQ("", run.err);  // the spy replaced the printing appender
  ASSERT_EQ(1u, spy.messages.size());
  EXPECT_EQ("Failed to launch ZORM", spy.messages[0]);
  EXPECT_THAT(spy.records[0], MatchesRegex("Exception with message '.*' caught"));

  // After the frame: no message, and the spy is no longer chained in.
  EXPECT_EQ("", app::lastErrorMsg());
  Logger::defaultLogger().log(Logger::LOG_ERROR, "F", 1, "f", "after the frame");
  EXPECT_EQ(1u, spy.records.size());
}

TEST_F(AppTest, FrameRestoresItsChosenAppender) {
  ScopedEnv env("KELPAK_DEBUG", "true");
  runFrame(failWithInt);
  CapturedStream err(std::cerr);
  Logger::defaultLogger().log(Logger::LOG_INFO, "dir/Later", 8, "f", "after");
  // The standard appender chosen by the frame, not the tee with the last-error appender.
  EXPECT_EQ("[INFO] Later:8: after\n", err.text());
}

TEST(TeeLogAppenderTest, PassesRecordsInOrderAndSkipsNull) {
  struct Collect : LogAppender {
    Collect(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
    void append(const LogEvent& event) override { log.push_back(name + ":" + event.message); }
    std::vector<std::string>& log;
    std::string name;
  };
  std::vector<std::string> log;
  Collect a(log, "a"), b(log, "b");
  LogEvent event;
  event.message = "m";
  TeeLogAppender(&a, &b).append(event);
  TeeLogAppender(nullptr, &b).append(event);
  TeeLogAppender(&a, nullptr).append(event);
  EXPECT_EQ((std::vector<std::string>{"a:m", "b:m", "b:m", "a:m"}), log);

  log.clear();
  ScopedDefaultAppender restore;
  Logger::defaultLogger().setAppender(a);
  {
    WithExtraLogAppender extra(b);
    Logger::defaultLogger().log(Logger::LOG_INFO, "F", 1, "f", "x");
  }
  Logger::defaultLogger().log(Logger::LOG_INFO, "F", 1, "f", "y");
  EXPECT_EQ((std::vector<std::string>{"a:x", "b:x", "a:y"}), log);
}
