// Linux stand-in for the macOS function that reports how the program was
// started: the file name handed to exec, which may be relative or a link.
#include <stdint.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The kernel's resolved path of the executable; empty when unreadable.
std::string kernelExecutablePath() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return std::string();
    if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

// Returns 0 when the path and its NUL fit into `*bufsize` bytes of `buf`, else
// -1 with the size needed stored in `*bufsize`; 1 when no path is known.
extern "C" int _NSGetExecutablePath(char* buf, uint32_t* bufsize) {
  const char* execName = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
  const std::string path = execName ? std::string(execName) : kernelExecutablePath();
  if (path.empty()) return 1;
  const size_t needed = path.size() + 1;
  if (needed > *bufsize) {
    *bufsize = static_cast<uint32_t>(needed);
    return -1;
  }
  std::memcpy(buf, path.c_str(), needed);
  return 0;
}
