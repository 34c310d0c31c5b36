#include "app.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "ErrorHandling.h"
#include "NewHandlerScope.h"
#include "NoSigpipeScope.h"
#include "SysInfo.h"
#include "SystemLog.h"
#include "tstrings.h"

namespace {

// Per thread, so that a failure reported on another thread at the same time
// can never print this thread's message. Null outside a failure report.
thread_local std::string* theLastErrorMsg = nullptr;

class StandardLogAppender : public LogAppender {
 public:
  void append(const LogEvent& event) override {
    // One write per record, so that concurrent records never mix within a line.
    const std::string line =
        (tstrings::any() << "[" << event.logLevel << "] " << event.fileName << ":" << event.lineNum
                         << ": " << event.message << "\n")
            .str();
    const NoSigpipeScope noSigpipe;
    std::cerr << line << std::flush;
  }
};

// The message with its line feeds and carriage returns written as \n and \r:
// a path in it may hold them, and a failure is reported on one line.
std::string oneLine(const std::string& message) {
  return tstrings::replace(tstrings::replace(message, "\n", "\\n"), "\r", "\\r");
}

class LastErrorLogAppender : public LogAppender {
 public:
  void append(const LogEvent&) override {
    const std::string line = app::lastErrorLine();
    {
      const NoSigpipeScope noSigpipe;
      std::cerr << line + "\n" << std::flush;
    }
    // Started from the desktop, standard error goes nowhere; the system log stays.
    SystemLog::error(line);
  }
};

// Reporting a failure needs memory, and without any even throwing
// std::bad_alloc can fail; so a failed allocation ends the process here, with
// one line and without allocating.
[[noreturn]] void exitOutOfMemory() {
  const NoSigpipeScope noSigpipe;
  std::fputs(std::strerror(ENOMEM), stderr);
  std::fputs("\n", stderr);
  std::fflush(nullptr);
  std::_Exit(1);
}

NopLogAppender nopLogAppender;
StandardLogAppender standardLogAppender;
LastErrorLogAppender lastErrorLogAppender;

// Installs the last-error appender when the guarded block is left, on the
// normal path and before any handler runs on the failure path.
class SetLoggerAtEndOfScope {
 public:
  SetLoggerAtEndOfScope(std::unique_ptr<WithExtraLogAppender>& appenderSlot,
                        LogAppender* extraAppender)
      : appenderSlot(appenderSlot), extraAppender(extraAppender) {}

  ~SetLoggerAtEndOfScope() {
    try {
      appenderSlot.reset(new WithExtraLogAppender(*extraAppender));
    } catch (const std::runtime_error& e) {
      reportError(LX_SOURCE_POS, e);
    } catch (...) {
      reportUnknownError(LX_SOURCE_POS);
    }
  }

  SetLoggerAtEndOfScope(const SetLoggerAtEndOfScope&) = delete;
  SetLoggerAtEndOfScope& operator=(const SetLoggerAtEndOfScope&) = delete;

 private:
  std::unique_ptr<WithExtraLogAppender>& appenderSlot;
  LogAppender* extraAppender;
};

}  // namespace

void TeeLogAppender::append(const LogEvent& event) {
  if (first) first->append(event);
  if (second) second->append(event);
}

WithExtraLogAppender::WithExtraLogAppender(LogAppender& extra)
    : savedAppender(&Logger::defaultLogger().getAppender()), tee(savedAppender, &extra) {
  Logger::defaultLogger().setAppender(tee);
}

WithExtraLogAppender::~WithExtraLogAppender() {
  Logger::defaultLogger().setAppender(*savedAppender);
}

namespace app {

int launch(const std::nothrow_t&, LauncherFunc func, LogAppender* lastErrorLogAppender) {
  // First, before anything allocates.
  const NewHandlerScope outOfMemory(exitOutOfMemory);
  Logger::defaultLogger().setAppender(
      isWithLogging() ? static_cast<LogAppender&>(standardLogAppender) : nopLogAppender);
  LX_TRACE_SCOPE("launch");
  if (!lastErrorLogAppender) lastErrorLogAppender = &defaultLastErrorLogAppender();

  std::unique_ptr<WithExtraLogAppender> withLastErrorAppender;
  std::string errorMsg;
  int result = 0;
  try {
    SetLoggerAtEndOfScope setLogger(withLastErrorAppender, lastErrorLogAppender);
    func();
  } catch (const LxErrorBase& e) {
    errorMsg = e.rawMessage();
    theLastErrorMsg = &errorMsg;
    // Every launcher error is a std::runtime_error too; report it as one.
    try {
      throw;
    } catch (const std::runtime_error& error) {
      reportError(LX_SOURCE_POS, error);
    }
    result = 1;
  } catch (const std::runtime_error& e) {
    errorMsg = lastCRTError();
    theLastErrorMsg = &errorMsg;
    reportError(LX_SOURCE_POS, e);
    result = 1;
  } catch (...) {
    errorMsg = "Unknown error";
    theLastErrorMsg = &errorMsg;
    reportUnknownError(LX_SOURCE_POS);
    result = 1;
  }
  theLastErrorMsg = nullptr;
  errorMsg.clear();
  // Gives the default logger back the appender chosen above, before the
  // scope trace writes its exit record.
  withLastErrorAppender.reset();
  return result;
}

bool isWithLogging() {
  return SysInfo::getEnvVariable(std::nothrow, "KELPAK_DEBUG", std::string()) == "true";
}

std::string lastErrorMsg() { return theLastErrorMsg ? *theLastErrorMsg : std::string(); }

std::string lastErrorLine() { return oneLine(lastErrorMsg()); }

LogAppender& defaultLastErrorLogAppender() { return lastErrorLogAppender; }

}  // namespace app
