// The process-wide logger. A Logger holds a threshold and one appender that it
// does not own; the appender decides where records go. The launcher keeps the
// threshold at LOG_TRACE and makes a quiet run quiet with a no-op appender.
// Nothing here locks: logging happens on the launcher's one thread.
#ifndef LX_SHARE_COMMON_LOG_H
#define LX_SHARE_COMMON_LOG_H

#include <iosfwd>
#include <string>

#include "SourceFile.h"
#include "TextBuilder.h"

// The platform's part of a record; it has no fields on the platforms we build for.
struct PlatformLogEvent {};

struct LogEvent : PlatformLogEvent {
  std::string logLevel;  // printed name of the level
  std::string fileName;  // last component of the log site's source path
  int lineNum = 0;
  std::string funcName;
  std::string message;

  // Platform hooks: fill the platform part, and append its rendering to `text`.
  static void init(PlatformLogEvent& event);
  static void appendFormatted(const PlatformLogEvent& event, std::string& text);
};

class LogAppender {
 public:
  virtual ~LogAppender() = default;
  virtual void append(const LogEvent& event) = 0;
};

// Writes each record as "[file:line (function)]", a line feed, a tab and
// "LEVEL: message", then ends the line and flushes. Does not own the stream.
class StreamLogAppender : public LogAppender {
 public:
  explicit StreamLogAppender(std::ostream& stream) : stream(&stream) {}
  void append(const LogEvent& event) override;

 private:
  std::ostream* stream;
};

class Logger {
 public:
  enum LogLevel : int { LOG_TRACE = 0, LOG_INFO = 1, LOG_WARNING = 2, LOG_ERROR = 3 };

  Logger(LogAppender& appender, LogLevel threshold) : level(threshold), appender(&appender) {}

  // The process-wide logger, set up on first use with a StreamLogAppender on
  // std::cout and threshold LOG_TRACE. Never destroyed. The first call must
  // not race with another.
  static Logger& defaultLogger();

  void setLogLevel(LogLevel threshold) { level = threshold; }
  bool isLoggable(LogLevel candidate) const { return level <= candidate; }

  // Hands one record to the appender; does not test the threshold.
  void log(LogLevel logLevel, const char* file, int line, const char* function,
           const std::string& message) const;

  // The caller keeps ownership and must keep the appender alive while installed.
  void setAppender(LogAppender& newAppender) { appender = &newAppender; }
  LogAppender& getAppender() const { return *appender; }

  // Platform hooks around the first use of the default logger.
  static void initializeLogging();
  static void initializingLogging();

  // Logs "Entering <scope>" when built, if its level was loggable then, and
  // "Exiting <scope> (entered at <file>:<line>)" with line 0 when destroyed.
  class ScopeTracer {
   public:
    ScopeTracer(Logger& logger, LogLevel level, const char* fileName, int lineNum,
                const char* funcName, const std::string& scopeName);
    ~ScopeTracer();
    ScopeTracer(const ScopeTracer&) = delete;
    ScopeTracer& operator=(const ScopeTracer&) = delete;

   private:
    Logger& logger;
    const LogLevel level;
    const std::string fileName;
    const int lineNum;
    const std::string funcName;
    const std::string scopeName;
    const bool needLog;
  };

 private:
  // Constant-initialised, so the default logger exists before any code runs.
  constexpr Logger() : level(LOG_TRACE), appender(nullptr) {}
  friend struct DefaultLoggerStorage;

  LogLevel level;
  LogAppender* appender;
};

// Installs an appender in a logger for its lifetime, then puts back the one
// that was there. The caller keeps the appender alive meanwhile.
class AppenderScope {
 public:
  AppenderScope(Logger& logger, LogAppender& appender)
      : logger(logger), saved(logger.getAppender()) {
    logger.setAppender(appender);
  }
  ~AppenderScope() { logger.setAppender(saved); }
  AppenderScope(const AppenderScope&) = delete;
  AppenderScope& operator=(const AppenderScope&) = delete;

 private:
  Logger& logger;
  LogAppender& saved;
};

// Log sites: the message is built only when the level is loggable.
#define LX_LOG(logLevel, pieces)                                             \
  do {                                                                       \
    Logger& lxLogger = Logger::defaultLogger();                              \
    if (lxLogger.isLoggable(Logger::logLevel)) {                             \
      lxLogger.log(Logger::logLevel, LX_SOURCE_FILE, __LINE__, __FUNCTION__, \
                   (tstrings::any() << pieces).str());                       \
    }                                                                        \
  } while (false)

#define LX_TRACE(pieces) LX_LOG(LOG_TRACE, pieces)
#define LX_WARNING(pieces) LX_LOG(LOG_WARNING, pieces)

// Traces the enclosing scope at LOG_TRACE under `name`.
#define LX_TRACE_SCOPE(name)                                                                    \
  Logger::ScopeTracer lxScopeTracer(Logger::defaultLogger(), Logger::LOG_TRACE, LX_SOURCE_FILE, \
                                    __LINE__, __FUNCTION__, name)

#endif
