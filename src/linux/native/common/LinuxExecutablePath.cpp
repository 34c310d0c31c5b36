// Linux stand-in for the macOS function: the kernel keeps the file name
// handed to exec in the auxiliary vector.
#include <sys/auxv.h>

#include <cstring>

#include "macosx/native/common/ExecutablePath.h"

int _NSGetExecutablePath(char* buf, uint32_t* bufsize) {
  const char* path = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
  if (!path || !*path) return 1;
  const size_t needed = std::strlen(path) + 1;
  if (needed > *bufsize) {
    *bufsize = static_cast<uint32_t>(needed);
    return -1;
  }
  std::memcpy(buf, path, needed);
  return 0;
}
