#include <gtest/gtest.h>

#include <sstream>

#include "TestSupport.h"
#include "share/native/common/Log.h"

TEST(LogTest, StreamAppenderWritesTheTwoLineForm) {
  std::ostringstream out;
  StreamLogAppender appender(out);
  Logger logger(appender, Logger::LOG_TRACE);
  logger.log(Logger::LOG_TRACE, "share/native/applauncher/AppLauncher", 170, "getCfgFilePath",
             "Check [/a/b.cfg] file exit");
  logger.log(Logger::LOG_ERROR, "dir/", 3, "f", "two\nlines");
  EXPECT_EQ(
      "[AppLauncher:170 (getCfgFilePath)]\n\tTRACE: Check [/a/b.cfg] file exit\n"
      "[:3 (f)]\n\tERROR: two\nlines\n",
      out.str());
}

TEST(LogTest, LevelNames) {
  struct Case {
    int level;
    const char* name;
  };
  const Case cases[] = {{0, "TRACE"}, {1, "INFO"},    {2, "WARNING"},
                        {3, "ERROR"}, {4, "UNKNOWN"}, {-1, "UNKNOWN"}};
  RecordingAppender records;
  for (const Case& c : cases) {
    Logger::defaultLogger().log(static_cast<Logger::LogLevel>(c.level), "src/File", 1, "f", "m");
    ASSERT_FALSE(records.events.empty());
    EXPECT_EQ(c.name, records.events.back().logLevel) << c.level;
    EXPECT_EQ("File", records.events.back().fileName);
  }
  EXPECT_EQ(6u, records.events.size());
}

TEST(LogTest, Thresholds) {
  RecordingAppender records;
  Logger logger(records, Logger::LOG_TRACE);
  for (int level = 0; level <= 3; ++level) {
    EXPECT_TRUE(logger.isLoggable(static_cast<Logger::LogLevel>(level))) << level;
  }
  logger.setLogLevel(Logger::LOG_ERROR);
  for (int level = 0; level <= 2; ++level) {
    EXPECT_FALSE(logger.isLoggable(static_cast<Logger::LogLevel>(level))) << level;
  }
  EXPECT_TRUE(logger.isLoggable(Logger::LOG_ERROR));
  // log() itself never filters.
  logger.log(Logger::LOG_TRACE, "F", 1, "f", "still written");
  ASSERT_EQ(1u, records.events.size());
  EXPECT_EQ("still written", records.events[0].message);
}

TEST(LogTest, ScopeTracerDecidesAtConstruction) {
  RecordingAppender records;
  Logger logger(records, Logger::LOG_TRACE);
  {
    Logger::ScopeTracer tracer(logger, Logger::LOG_TRACE, "share/native/common/app", 12, "launch",
                               "launch");
    logger.setLogLevel(Logger::LOG_ERROR);  // raised in between: the exit record still comes
  }
  ASSERT_EQ(2u, records.events.size());
  EXPECT_EQ("Entering launch", records.events[0].message);
  EXPECT_EQ(12, records.events[0].lineNum);
  EXPECT_EQ("app", records.events[0].fileName);
  EXPECT_EQ("launch", records.events[0].funcName);
  EXPECT_EQ("Exiting launch (entered at app:12)", records.events[1].message);
  EXPECT_EQ(0, records.events[1].lineNum);
  EXPECT_EQ("TRACE", records.events[1].logLevel);

  records.events.clear();
  {
    Logger::ScopeTracer tracer(logger, Logger::LOG_INFO, "F", 1, "f", "quiet");
    logger.setLogLevel(Logger::LOG_TRACE);  // lowered in between: still no exit record
  }
  EXPECT_TRUE(records.events.empty());
}

TEST(LogTest, DefaultLoggerIsOneObjectWithAStreamOnStdout) {
  Logger& first = Logger::defaultLogger();
  EXPECT_EQ(&first, &Logger::defaultLogger());
  LogAppender& appender = first.getAppender();
  EXPECT_EQ(&appender, &Logger::defaultLogger().getAppender());
  // Before any run frame replaced it, the appender is the stream appender on std::cout.
  ASSERT_NE(nullptr, dynamic_cast<StreamLogAppender*>(&appender));
  CapturedStream out(std::cout);
  first.log(Logger::LOG_INFO, "a/Here", 5, "fn", "hello");
  EXPECT_EQ("[Here:5 (fn)]\n\tINFO: hello\n", out.text());
}

TEST(LogTest, LogMacroBuildsTheMessageOnlyWhenLoggable) {
  RecordingAppender records;
  int built = 0;
  auto count = [&built]() { return ++built; };
  LX_TRACE("value " << count());
  Logger::defaultLogger().setLogLevel(Logger::LOG_WARNING);
  LX_TRACE("value " << count());
  LX_WARNING("warned " << count());
  Logger::defaultLogger().setLogLevel(Logger::LOG_TRACE);
  EXPECT_EQ(2, built);
  ASSERT_EQ(2u, records.events.size());
  EXPECT_EQ("value 1", records.events[0].message);
  EXPECT_EQ("LogTest", records.events[0].fileName);
  EXPECT_EQ("warned 2", records.events[1].message);
  EXPECT_EQ("WARNING", records.events[1].logLevel);
}
