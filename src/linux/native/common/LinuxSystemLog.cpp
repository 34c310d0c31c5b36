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
#include "unix/native/common/OwnDescriptor.h"

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

// Some log daemons listen on a stream socket; a record goes over a connection
// of its own there, ended by one NUL as syslog(3) ends it. A daemon that does
// not take the connection or the whole record at once loses it: nothing here
// waits.
void sendOverStream(const sockaddr_un& address, const std::string& record) {
  const int fd = ownDescriptor(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (fd < 0) return;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    send(fd, record.c_str(), record.size() + 1, MSG_DONTWAIT | MSG_NOSIGNAL);
  }
  close(fd);
}

}  // namespace

namespace SystemLog {

void send(const std::string& identity, const std::string& line) {
  const std::string record = "<" + std::to_string(LOG_USER | LOG_ERR) + ">" + timestamp() +
                             (identity.empty() ? program_invocation_short_name : identity) + "[" +
                             std::to_string(getpid()) + "]: " + line;
  const int fd = ownDescriptor(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (fd < 0) return;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, "/dev/log");
  // A missing, refusing or full log drops the record; nothing here waits.
  const bool stream = sendto(fd, record.data(), record.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0 &&
                      errno == EPROTOTYPE;
  close(fd);
  if (stream) sendOverStream(address, record);
}

}  // namespace SystemLog
