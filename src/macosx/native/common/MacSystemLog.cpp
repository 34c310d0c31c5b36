// syslog(3) feeds the unified log on macOS and does not wait for a reader.
#include <syslog.h>

#include "share/native/common/SystemLog.h"

namespace SystemLog {

void send(const std::string& identity, const std::string& line) {
  openlog(identity.empty() ? nullptr : identity.c_str(), LOG_PID, LOG_USER);
  // The line is text, never a format.
  syslog(LOG_ERR, "%s", line.c_str());
  closelog();
}

}  // namespace SystemLog
