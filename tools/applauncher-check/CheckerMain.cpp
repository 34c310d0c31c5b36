// applauncher-check: shows the launch plan of a bundle and every pitfall on
// the way, as its launcher would meet them. Exit status 0 when the bundle
// would launch, 1 when it would not, 2 on a usage error.
#include <exception>
#include <iostream>

#include "BundleCheck.h"
#include "CheckArgs.h"
#include "Output.h"
#include "share/native/common/Log.h"
#include "share/native/common/SysInfo.h"
#include "share/native/common/app.h"

int main(int argc, char** argv) {
  // The planning code logs as it goes; the checker reports through findings.
  NopLogAppender quiet;
  const AppenderScope quietScope(Logger::defaultLogger(), quiet);
  try {
    CheckArgs check = parseCheckArgs(std::vector<std::string>(argv + 1, argv + argc));
    // The launcher's own rule picks what it keeps; no program name stands in front.
    check.options.args = SysInfo::getCommandArgs(check.options.args, SysInfo::IncludeProgramName);

    const Report report = checkBundle(check.options);
    if (check.json) {
      writeJson(std::cout, report);
    } else {
      writeText(std::cout, report);
    }
    std::cout.flush();
    return exitStatus(report, check.strict);
  } catch (const UsageError& e) {
    std::cerr << "applauncher-check: " << e.what() << "; " << kUsage << '\n';
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "applauncher-check: " << e.what() << '\n';
    return 1;
  }
}
