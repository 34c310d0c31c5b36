#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "TestSupport.h"
#include "share/native/common/ErrorHandling.h"

TEST(ErrorHandlingTest, MakeMessageFormat) {
  struct Case {
    const char* file;
    const char* expected;
  };
  const Case cases[] = {
      {"unix/native/common/UnixSysInfo",
       "UnixSysInfo(38) at getEnvVariable(): getenv(HOME) failed. Variable not set"},
      {"UnixSysInfo", "UnixSysInfo(38) at getEnvVariable(): getenv(HOME) failed. Variable not set"},
      {"a\\b\\Win", "Win(38) at getEnvVariable(): getenv(HOME) failed. Variable not set"},
      {"dir/", "(38) at getEnvVariable(): getenv(HOME) failed. Variable not set"},
  };
  for (const Case& c : cases) {
    const SourceCodePos pos(c.file, "getEnvVariable", 38);
    EXPECT_EQ(c.expected,
              makeMessage(std::runtime_error("getenv(HOME) failed. Variable not set"), pos))
        << c.file;
  }
}

TEST(ErrorHandlingTest, WhatIsFormattedRawMessageIsNot) {
  try {
    throw makeException(tstrings::any() << "value " << 42, SourceCodePos("x/File", "fn", 7));
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("File(7) at fn(): value 42", e.what());
    const LxErrorBase* base = dynamic_cast<const LxErrorBase*>(&e);
    ASSERT_NE(nullptr, base);
    EXPECT_STREQ("value 42", base->rawMessage());
  }
  const LxError<std::runtime_error> empty = makeException("", SourceCodePos("F", "g", 1));
  EXPECT_STREQ("F(1) at g(): ", empty.what());
  EXPECT_STREQ("", empty.rawMessage());
  // A C string ends at a NUL: it is shown as \0, and nothing after it is lost.
  const LxError<std::runtime_error> nul =
      makeException(tstrings::any() << std::string("a\0b\0", 4), SourceCodePos("F", "g", 1));
  EXPECT_STREQ("a\\0b\\0", nul.rawMessage());
  EXPECT_STREQ("F(1) at g(): a\\0b\\0", nul.what());
  const LxError<std::runtime_error> nuls =
      makeException(tstrings::any() << std::string(2, '\0'), SourceCodePos("F", "g", 1));
  EXPECT_STREQ("\\0\\0", nuls.rawMessage());
}

TEST(ErrorHandlingTest, ThrowMacroNamesItsOwnSite) {
  const int line = __LINE__ + 2;
  try {
    LX_THROW("bad " << 42);
  } catch (const LxError<std::runtime_error>& e) {
    EXPECT_STREQ("bad 42", e.rawMessage());
    EXPECT_EQ("ErrorHandlingTest(" + std::to_string(line) + ") at TestBody(): bad 42",
              std::string(e.what()));
  }
}

TEST(ErrorHandlingTest, ReportsGoToTheLoggerAtErrorLevelWhateverTheThreshold) {
  RecordingAppender records;
  Logger::defaultLogger().setLogLevel(Logger::LOG_ERROR);
  const SourceCodePos catchSite("share/native/common/app", "launch", 99);
  reportError(catchSite, makeException("boom", SourceCodePos("a/Thrower", "go", 5)));
  reportError(catchSite, std::runtime_error("plain"));
  reportUnknownError(catchSite);
  Logger::defaultLogger().setLogLevel(Logger::LOG_TRACE);

  ASSERT_EQ(3u, records.events.size());
  const char* expected[] = {"Exception with message 'Thrower(5) at go(): boom' caught",
                            "Exception with message 'plain' caught", "Unknown exception caught"};
  for (std::size_t i = 0; i < 3; ++i) {
    const LogEvent& event = records.events[i];
    EXPECT_EQ(expected[i], event.message);
    EXPECT_EQ("ERROR", event.logLevel);
    EXPECT_EQ("app", event.fileName);
    EXPECT_EQ(99, event.lineNum);
    EXPECT_EQ("launch", event.funcName);
  }
}

TEST(ErrorHandlingTest, JoinErrorMessages) {
  struct Case {
    const char *first, *second, *expected;
  };
  const Case cases[] = {
      {"Failed", "Try again", "Failed. Try again"},
      {"Failed:", "Try again", "Failed: Try again"},
      {"Done.", "Next", "Done. Next"},
      {"Failed  ", "  Try again  ", "Failed. Try again"},
      {"Failed", "   ", "Failed"},
      {"Failed!", "", "Failed!"},
      {"", "Try again", "Try again"},
      {" \t\n", "Try again", "Try again"},
      {"  Failed", "x", "  Failed. x"},
      {"", "", ""},
      {"Why?", "\r\nBecause\v", "Why? Because"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, joinErrorMessages(c.first, c.second))
        << "'" << c.first << "' + '" << c.second << "'";
  }
  // A NUL byte is no punctuation mark, and bytes of 0x80 and above are no spaces.
  EXPECT_EQ(std::string("a\0. b", 5), joinErrorMessages(std::string("a\0", 2), "b"));
  EXPECT_EQ("x\xa0. y", joinErrorMessages("x\xa0", "y"));
}

TEST(ErrorHandlingTest, LastCRTErrorIsTheTextOfErrno) {
  errno = ENOENT;
  EXPECT_EQ(std::strerror(ENOENT), lastCRTError());
  errno = EACCES;
  EXPECT_EQ(std::strerror(EACCES), lastCRTError());
}
