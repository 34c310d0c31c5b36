// libFuzzer target: arbitrary bytes become the package descriptor ".package"
// of a scratch application directory, read by the launcher's own reader. The
// name must be the bytes before the first line feed, untouched, and the last
// trace record must tell it.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "share/native/applauncher/PackageFile.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/Log.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

class LastRecord : public LogAppender {
 public:
  void append(const LogEvent& event) override { message = event.message; }
  std::string message;
};

// A directory of its own for the run, removed at exit.
class ScratchDir {
 public:
  ScratchDir() {
    const char* const tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/package_fuzzer.XXXXXX";
    check(mkdtemp(&pattern[0]) != nullptr);
    path = pattern;
  }
  ~ScratchDir() {
    std::remove(descriptor().c_str());
    rmdir(path.c_str());
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string descriptor() const { return path + "/.package"; }

  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchDir dir;
  static LastRecord records;
  Logger::defaultLogger().setAppender(records);

  const std::string content(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(dir.descriptor(), std::ios::binary | std::ios::trunc);
    out << content;
    check(out.good());
  }
  records.message.clear();
  const std::string firstLine = content.substr(0, content.find('\n'));
  std::string name;
  try {
    name = PackageFile::loadFromAppDir(dir.path).getPackageName();
  } catch (const LxError<std::runtime_error>& e) {
    // Only a name that a NUL byte would cut short is refused.
    check(firstLine.find('\0') != std::string::npos);
    check(std::string(e.rawMessage()) == "Error reading \"" + dir.descriptor() +
                                             "\" file: The package name contains a NUL character");
    return 0;
  }

  check(name == firstLine);
  if (content.empty()) {
    check(records.message == "Read \"" + dir.descriptor() + "\" package file");
  } else {
    check(records.message == "Package name is [" + name + "]");
  }
  return 0;
}
