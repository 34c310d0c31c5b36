// The run frame: every entry of the process runs its work under app::launch,
// which chooses what the log shows ("KELPAK_DEBUG"), catches every failure,
// prints it on standard error and turns the outcome into the exit status.
// Below the frame nothing prints; code only throws and logs.
#ifndef LX_SHARE_COMMON_APP_H
#define LX_SHARE_COMMON_APP_H

#include <new>
#include <string>

#include "Log.h"

class NopLogAppender : public LogAppender {
 public:
  void append(const LogEvent&) override {}
};

// Passes each record to `first`, then to `second`; either may be null. Owns neither.
class TeeLogAppender : public LogAppender {
 public:
  TeeLogAppender(LogAppender* first, LogAppender* second) : first(first), second(second) {}
  void append(const LogEvent& event) override;

 private:
  LogAppender* first;
  LogAppender* second;
};

// While it exists, the default logger's records reach the appender it found
// installed first and `extra` second; its destructor puts the found one back.
class WithExtraLogAppender {
 public:
  explicit WithExtraLogAppender(LogAppender& extra);
  virtual ~WithExtraLogAppender();
  WithExtraLogAppender(const WithExtraLogAppender&) = delete;
  WithExtraLogAppender& operator=(const WithExtraLogAppender&) = delete;

 private:
  LogAppender* savedAppender;
  TeeLogAppender tee;
};

namespace app {

typedef void (*LauncherFunc)();

// Runs `func` under the frame: 0 when it returns, 1 when it throws. With
// logging off a failure prints one line, its message; with "KELPAK_DEBUG"
// exactly "true" every record is printed too. A null `lastErrorLogAppender`
// selects defaultLastErrorLogAppender(). An allocation that fails while the
// frame runs ends the process at once: one line, the system's text for
// ENOMEM, and the status 1.
int launch(const std::nothrow_t&, LauncherFunc func, LogAppender* lastErrorLogAppender);

// True exactly when "KELPAK_DEBUG" is "true".
bool isWithLogging();

// The message of the failure being reported, empty at every other time.
std::string lastErrorMsg();

// lastErrorMsg() as the failure line prints it: line feeds and carriage
// returns written as \n and \r.
std::string lastErrorLine();

// Prints lastErrorLine() on standard error, whatever the record, and sends
// the same line to the system log.
LogAppender& defaultLastErrorLogAppender();

}  // namespace app

#endif
