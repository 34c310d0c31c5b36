#include "SystemLog.h"

#include <exception>

#include "FileUtils.h"
#include "SysInfo.h"

namespace {

// The name the configuration file is named after; empty when the executable
// cannot be found, which may be the very failure being reported.
std::string executableName() {
  try {
    return FileUtils::basename(SysInfo::getProcessModulePath());
  } catch (const std::exception&) {
    return std::string();
  }
}

}  // namespace

namespace SystemLog {

void error(const std::string& line) noexcept {
  try {
    send(executableName(), line);
  } catch (...) {
    // The line is on standard error already; losing its copy must not end the
    // launcher or change its status.
  }
}

}  // namespace SystemLog
