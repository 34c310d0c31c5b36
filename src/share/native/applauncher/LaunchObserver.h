// What a tool that explains a launch learns while the launcher's own code
// plans it. The launcher passes no observer and stops at the first failure.
#ifndef LX_SHARE_APPLAUNCHER_LAUNCHOBSERVER_H
#define LX_SHARE_APPLAUNCHER_LAUNCHOBSERVER_H

#include <string>

#include "share/native/common/ErrorHandling.h"

class AppLauncher;
class CfgFile;
class CfgFileError;
class CfgFileObserver;

// The steps whose failure a planning tool may plan past.
enum class LaunchStep {
  ImageRoot,    // the bundle's path cannot be launched from
  PackageFile,  // the package descriptor cannot be read
  Runtime,      // no runtime launcher library
};

class LaunchObserver {
 public:
  virtual ~LaunchObserver() = default;
  // `step` failed as the launch fails. True plans on as if it had passed
  // (with no package name, or no library); false lets `error` end the plan.
  virtual bool failed(LaunchStep step, const LxErrorBase& error) = 0;
  // The bundle's package name, "" for none.
  virtual void package(const std::string& name) = 0;
  // The configuration `launcher` is about to read; the observer returned,
  // when not null, watches its parser.
  virtual CfgFileObserver* reading(const std::string& cfgPath, const AppLauncher& launcher) = 0;
  // The configuration could not be loaded: the plan ends here.
  virtual void unloaded(const CfgFileError& error) = 0;
  // The configuration as loaded, and the runtime directory it leads to.
  virtual void loaded(const CfgFile& cfg, const std::string& runtimeDir) = 0;
};

// Runs one step of the plan; its failure ends the plan unless `observer`
// plans past it.
template <class Step>
void planStep(LaunchObserver* observer, LaunchStep step, Step run) {
  try {
    run();
  } catch (const LxErrorBase& e) {
    if (!observer || !observer->failed(step, e)) throw;
  }
}

#endif
