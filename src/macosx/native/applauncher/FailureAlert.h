// The alert that tells the user why a launch from the Finder failed: started
// by the system's application launcher, the launcher's standard error goes
// nowhere. CoreFoundation shows it, loaded only on that failure path; where
// the library or one of its functions is missing nothing is shown.
#ifndef LX_MACOSX_APPLAUNCHER_FAILUREALERT_H
#define LX_MACOSX_APPLAUNCHER_FAILUREALERT_H

#include "share/native/common/Log.h"

// The last-error appender of the process entry: the default one's line and
// system-log record, then, for the first failure of a process started by the
// system's application launcher (its parent is process 1 and standard error
// is no terminal) without "KELPAK_NO_ALERT" exactly "true", a modal alert that
// names the application and shows the line. At most one alert per process,
// whatever the number of these appenders. Never throws.
class FailureAlertLogAppender : public LogAppender {
 public:
  void append(const LogEvent& event) override;
};

#endif
