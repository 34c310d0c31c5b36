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

// A datagram has a size limit, and a log shows a long line badly anyway: more
// than kMaxLogged bytes are cut at a character boundary, ending in "...".
std::string logged(const std::string& line) {
  const std::string::size_type kMaxLogged = 2048;
  if (line.size() <= kMaxLogged) return line;
  std::string::size_type cut = kMaxLogged - 3;
  // A UTF-8 character has at most three continuation bytes (10xxxxxx); bytes
  // that are no UTF-8 are cut where they are.
  for (int back = 0; back < 3 && (static_cast<unsigned char>(line[cut]) & 0xc0) == 0x80; ++back) {
    --cut;
  }
  return line.substr(0, cut) + "...";
}

}  // namespace

namespace SystemLog {

// The tests put a stand-in here, so that they never write the machine's log.
void (*sendRecord)(const std::string& identity, const std::string& line) = send;

void error(const std::string& line) noexcept {
  try {
    sendRecord(executableName(), logged(line));
  } catch (...) {
    // The line is on standard error already; losing its copy must not end the
    // launcher or change its status.
  }
}

}  // namespace SystemLog
