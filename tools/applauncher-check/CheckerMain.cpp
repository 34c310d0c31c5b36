// applauncher-check: shows the launch plan of a bundle and every pitfall on
// the way, as its launcher would meet them. Exit status 0 when the bundle
// would launch, 1 when it would not, 2 when the check could not be done (a
// usage error, no bundle folder, a report not written, an internal error),
// with one line on standard error and no report.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

#include "BundleCheck.h"
#include "CheckArgs.h"
#include "Output.h"
#include "TerminalText.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/Log.h"
#include "share/native/common/SysInfo.h"
#include "share/native/common/app.h"

namespace {

// The check could not be done; what() says why.
class CannotCheck : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string systemError(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

void requireDirectory(const std::string& bundle) {
  struct stat status;
  if (stat(bundle.c_str(), &status) != 0) throw CannotCheck(systemError(bundle, errno));
  if (!S_ISDIR(status.st_mode)) throw CannotCheck(bundle + ": not a directory");
}

// Standard output must be open before any file is, or a file opened during
// the check could take its descriptor.
void requireStandardOutput() {
  if (fcntl(STDOUT_FILENO, F_GETFD) == -1) {
    throw CannotCheck(systemError("standard output", errno));
  }
}

// Everything written must have reached standard output.
void flushStandardOutput() {
  errno = 0;
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    throw CannotCheck(errno != 0 ? systemError("writing the report", errno)
                                 : "writing the report failed");
  }
}

int run(int argc, char** argv) {
  CheckArgs check = parseCheckArgs(std::vector<std::string>(argv + 1, argv + argc));
  requireStandardOutput();
  if (check.help || check.version) {
    std::cout << (check.help ? kHelp : "applauncher-check " LX_VERSION "\n");
    flushStandardOutput();
    return 0;
  }
  requireDirectory(check.options.bundle);
  // Plan as a launch from the Finder runs, in the working directory "/", so
  // that nothing depends on where the checker runs; path arguments count
  // from the checker's own working directory.
  check.options.bundle = FileUtils::toAbsolutePath(check.options.bundle);
  if (check.options.home && !check.options.home->empty()) {
    check.options.home = FileUtils::toAbsolutePath(*check.options.home);
  }
  if (chdir("/") != 0) throw CannotCheck(systemError("chdir(/)", errno));
  // The launcher's own rule picks what it keeps; no program name stands in front.
  check.options.args = SysInfo::getCommandArgs(check.options.args, SysInfo::IncludeProgramName);

  const Report report = checkBundle(check.options);
  if (check.json) {
    writeJson(std::cout, report);
  } else {
    writeText(std::cout, report);
  }
  flushStandardOutput();
  return exitStatus(report, check.strict);
}

int cannotCheck(const std::string& why) {
  std::cerr << "applauncher-check: " << forTerminal(why) << '\n';
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that went away is a report not written, status 2, not a signal.
  std::signal(SIGPIPE, SIG_IGN);
  // The planning code logs as it goes; the checker reports through findings.
  NopLogAppender quiet;
  const AppenderScope quietScope(Logger::defaultLogger(), quiet);
  try {
    return run(argc, argv);
  } catch (const UsageError& e) {
    return cannotCheck(std::string(e.what()) + "; " + kUsage);
  } catch (const std::bad_alloc&) {
    return cannotCheck("out of memory");
  } catch (const std::exception& e) {
    return cannotCheck(e.what());
  } catch (...) {
    return cannotCheck("internal error");
  }
}
