// The launcher's own descriptors stay off 0, 1 and 2: with one of those
// closed at the start, a new descriptor would take its number, and a write
// meant for standard output or error would land in the launcher's file or
// socket.
#ifndef LX_UNIX_COMMON_OWNDESCRIPTOR_H
#define LX_UNIX_COMMON_OWNDESCRIPTOR_H

#include <fcntl.h>
#include <unistd.h>

// `fd` when it is negative or above 2; else a close-on-exec copy of it at 3 or
// above, with `fd` closed (-1 when no copy can be made).
inline int ownDescriptor(int fd) noexcept {
  if (fd < 0 || fd > 2) return fd;
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return copy;
}

#endif
