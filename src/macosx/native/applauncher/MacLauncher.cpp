// The process entry. The first entry of main comes from the operating system
// and sets up and launches the bundle's application; the runtime library may
// enter main a second time during that launch, which then launches the same
// description again instead of repeating the set-up. Both entries report a
// failure through FailureAlertLogAppender, which adds an alert for a launch
// from the Finder.
#include "FailureAlert.h"
#include "share/native/applauncher/BundleLaunch.h"
#include "share/native/applauncher/ZormLauncher.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/Log.h"
#include "share/native/common/SysInfo.h"
#include "share/native/common/app.h"

namespace {

// Set once by the first entry, before its launch; never deleted, because a
// second entry may still use it.
Zorm* zormLauncher = nullptr;

void launchZorm() { zormLauncher->launch(); }

// "HOME", or empty when it is unset or relative.
std::string homeValue() {
  // Without "HOME" only the per-user configuration is lost: report and go on.
  std::string home;
  try {
    home = SysInfo::getEnvVariable("HOME");
  } catch (const std::runtime_error& e) {
    reportError(LX_SOURCE_POS, e);
  } catch (...) {
    reportUnknownError(LX_SOURCE_POS);
  }
  // A relative "HOME" would be read relative to the working directory.
  if (!home.empty() && home[0] != '/') {
    LX_TRACE("Ignoring \"HOME\" value \"" << home << "\": not an absolute path");
    home.clear();
  }
  return home;
}

void initZormLauncher() {
  zormLauncher = planBundleLaunch(SysInfo::getProcessModulePath(),
                                  SysInfo::getCommandArgs(SysInfo::ExcludeProgramName), homeValue)
                     .release();
  zormLauncher->launch();
}

}  // namespace

int main(int argc, char** argv) {
  FailureAlertLogAppender lastError;
  if (zormLauncher) return app::launch(std::nothrow, launchZorm, &lastError);
  SysInfo::argc = argc;
  SysInfo::argv = argv;
  return app::launch(std::nothrow, initZormLauncher, &lastError);
}
