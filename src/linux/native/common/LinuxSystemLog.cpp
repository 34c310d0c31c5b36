// glibc's syslog(3) waits while the receiver's queue on "/dev/log" is full, so
// the record is sent here as syslog(3) would send it, but without waiting.
#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "share/native/common/SystemLog.h"

namespace {

// "Dec  9 17:56:57 ", local time, as the local log daemons read it; empty
// when the time is unknown.
std::string timestamp() {
  const time_t now = time(nullptr);
  struct tm local;
  char text[32];
  if (!localtime_r(&now, &local) || strftime(text, sizeof text, "%b %e %T ", &local) == 0) {
    return std::string();
  }
  return text;
}

}  // namespace

namespace SystemLog {

void send(const std::string& identity, const std::string& line) {
  const std::string record = "<" + std::to_string(LOG_USER | LOG_ERR) + ">" + timestamp() +
                             (identity.empty() ? program_invocation_short_name : identity) + "[" +
                             std::to_string(getpid()) + "]: " + line;
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, "/dev/log");
  // A missing, refusing or full log drops the record; nothing here waits.
  sendto(fd, record.data(), record.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
         reinterpret_cast<const sockaddr*>(&address), sizeof address);
  close(fd);
}

}  // namespace SystemLog
