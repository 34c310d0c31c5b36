#include "Log.h"

#include <iostream>
#include <new>

#include "FileUtils.h"

struct DefaultLoggerStorage {
  static Logger logger;
};

// Zero-filled before any code runs: threshold LOG_TRACE and no appender.
Logger DefaultLoggerStorage::logger;

namespace {

// Built in place on first use and never destroyed, so that logging works
// until the very end of the process, static destructors included.
alignas(StreamLogAppender) unsigned char defaultLogAppenderMemory[sizeof(StreamLogAppender)];

// 0: logging not initialised, 1: being initialised, 2: initialised.
int state = 0;

const char* levelName(Logger::LogLevel level) {
  switch (static_cast<unsigned>(level)) {
    case Logger::LOG_TRACE:
      return "TRACE";
    case Logger::LOG_INFO:
      return "INFO";
    case Logger::LOG_WARNING:
      return "WARNING";
    case Logger::LOG_ERROR:
      return "ERROR";
    default:
      return "UNKNOWN";
  }
}

}  // namespace

Logger& Logger::defaultLogger() {
  Logger& logger = DefaultLoggerStorage::logger;
  if (!logger.appender) {
    logger.appender = new (defaultLogAppenderMemory) StreamLogAppender(std::cout);
  }
  if (state == 0) {
    state = 1;
    initializeLogging();
    state = 2;
  } else if (state == 1) {
    initializingLogging();
  }
  return logger;
}

void Logger::log(LogLevel logLevel, const char* file, int line, const char* function,
                 const std::string& message) const {
  LogEvent event;
  LogEvent::init(event);
  event.fileName = FileUtils::basename(file);
  event.funcName = function;
  event.logLevel = levelName(logLevel);
  event.lineNum = line;
  event.message = message;
  appender->append(event);
}

void StreamLogAppender::append(const LogEvent& event) {
  std::string prefix;
  LogEvent::appendFormatted(event, prefix);
  const std::string text =
      (tstrings::any() << "[" << prefix << event.fileName << ":" << event.lineNum << " ("
                       << event.funcName << ")]\n\t" << event.logLevel << ": " << event.message)
          .str();
  *stream << text << std::endl;
}

Logger::ScopeTracer::ScopeTracer(Logger& logger, LogLevel level, const char* fileName, int lineNum,
                                 const char* funcName, const std::string& scopeName)
    : logger(logger),
      level(level),
      fileName(fileName),
      lineNum(lineNum),
      funcName(funcName),
      scopeName(scopeName),
      needLog(logger.isLoggable(level)) {
  if (needLog) {
    logger.log(level, this->fileName.c_str(), lineNum, this->funcName.c_str(),
               "Entering " + scopeName);
  }
}

Logger::ScopeTracer::~ScopeTracer() {
  if (needLog) {
    const std::string message =
        (tstrings::any() << "Exiting " << scopeName << " (entered at "
                         << FileUtils::basename(fileName) << ":" << lineNum << ")")
            .str();
    logger.log(level, fileName.c_str(), 0, funcName.c_str(), message);
  }
}
