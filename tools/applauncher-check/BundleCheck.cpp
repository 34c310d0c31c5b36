#include "BundleCheck.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>

#include "BinaryCheck.h"
#include "CfgLint.h"
#include "share/native/applauncher/AppLauncher.h"
#include "share/native/applauncher/BundleLaunch.h"
#include "share/native/applauncher/BundleLayout.h"
#include "share/native/applauncher/CfgProperty.h"
#include "share/native/applauncher/ZormLauncher.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/SysInfo.h"

namespace fs = std::filesystem;

namespace {

fs::file_status statusOf(const std::string& path) {
  std::error_code ignored;
  return fs::status(path, ignored);
}

bool isExecutableFile(const std::string& path) {
  const fs::file_status status = statusOf(path);
  const fs::perms exec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  return fs::is_regular_file(status) && (status.permissions() & exec) != fs::perms::none;
}

// The executable in Contents/MacOS; empty after a bundle-layout error.
std::string findExecutable(const CheckOptions& options, Report& report) {
  const std::string dir = FileUtils::combinePath(options.bundle, "Contents/MacOS");
  if (!options.launcherName.empty()) {
    const std::string path = FileUtils::combinePath(dir, options.launcherName);
    if (isExecutableFile(path)) return path;
    report.add(Severity::Error, "bundle-layout", path, 0, "no executable file of that name");
    return std::string();
  }
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    if (isExecutableFile(it->path().string())) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  if (names.size() == 1) return FileUtils::combinePath(dir, names[0]);
  std::string message = "no executable file here, so no launcher";
  if (names.size() > 1) {
    message = "several executables (";
    for (const std::string& name : names) message += (&name == &names[0] ? "" : ", ") + name;
    message += "); choose the launcher with --launcher NAME";
  }
  report.add(Severity::Error, "bundle-layout", dir, 0, message);
  return std::string();
}

// The finding code of the parser's verdict on a configuration it could not load.
const char* failureCode(CfgFileFailure kind) {
  switch (kind) {
    case CfgFileFailure::Missing:
      return "config-missing";
    case CfgFileFailure::Syntax:
      return "config-syntax";
    case CfgFileFailure::Nul:
      return "config-nul";
    case CfgFileFailure::Unreadable:
    case CfgFileFailure::OutOfMemory:
      break;
  }
  return "config-unreadable";
}

// Turns what the launcher's planning meets into findings and the plan.
class Planner final : public LaunchObserver {
 public:
  Planner(const CheckOptions& options, Report& report) : options(options), report(report) {}

  bool failed(LaunchStep step, const LxErrorBase& error) override {
    switch (step) {
      case LaunchStep::ImageRoot:
        report.add(Severity::Error, "bundle-path-colon", report.plan.bundle, 0, error.rawMessage());
        break;
      case LaunchStep::PackageFile:
        report.add(Severity::Error, "package-unreadable",
                   FileUtils::combinePath(BundleLayout::appDir(report.plan.bundle), ".package"), 0,
                   error.rawMessage());
        break;
      case LaunchStep::Runtime:
        report.add(Severity::Error, "runtime-missing", cfgPath, 0, error.rawMessage());
        break;
    }
    return true;
  }

  void package(const std::string& name) override {
    packageName = name;
    if (!name.empty() && name.back() == '\r') {
      report.add(Severity::Warning, "package-cr",
                 FileUtils::combinePath(BundleLayout::appDir(report.plan.bundle), ".package"), 1,
                 "the package name ends in a carriage return (a Windows line end) and keeps it, "
                 "so no per-user configuration is ever found under it");
    }
  }

  CfgFileObserver* reading(const std::string& path, const AppLauncher& launcher) override {
    cfgPath = path;
    report.plan.config = cfgPath;
    const bool perUser = cfgPath != FileUtils::combinePath(BundleLayout::appDir(report.plan.bundle),
                                                           FileUtils::basename(cfgPath));
    report.add(Severity::Note, "config-chosen", cfgPath, 0,
               perUser ? "the launch reads this per-user configuration"
                       : "the launch reads this configuration of the bundle");
    if (!packageName.empty() && !options.home) {
      report.add(Severity::Note, "per-user-override", cfgPath, 0,
                 "a user's copy at " +
                     FileUtils::combinePath(BundleLayout::userCfgDir("$HOME", packageName),
                                            FileUtils::basename(cfgPath)) +
                     " would be read instead; --home DIR checks as that user");
    }
    lint.emplace(report, cfgPath, launcher.getMacros());
    return &*lint;
  }

  void unloaded(const CfgFileError& error) override {
    // The checker's own memory ran out, which says nothing about the launch.
    if (error.kind() == CfgFileFailure::OutOfMemory) throw std::bad_alloc();
    lint->finish();
    report.add(Severity::Error, failureCode(error.kind()), cfgPath, error.line(),
               error.rawMessage());
  }

  void loaded(const CfgFile& cfg, const std::string& runtimeDir) override {
    lint->finish();
    lint->checkLoaded(cfg);
    report.plan.runtimeDirectory = runtimeDir;
    if (!CfgProperties::runtime.find(cfg)) {
      report.add(Severity::Note, "runtime-default", cfgPath, 0,
                 "no app.runtime in [Application]: the runtime is the bundle's own, " + runtimeDir);
    }
  }

 private:
  const CheckOptions& options;
  Report& report;
  std::string packageName;
  std::string cfgPath;
  std::optional<CfgLint> lint;
};

// The whole check; it stops where the launcher would stop too.
void check(const CheckOptions& options, Report& report) {
  report.plan.bundle = FileUtils::toAbsolutePath(options.bundle);
  const std::string executable = findExecutable(options, report);
  if (executable.empty()) return;
  std::string launcherPath;
  try {
    // With its NUL, as the system hands the launcher its path.
    launcherPath = SysInfo::getExecutablePath(
        std::vector<char>(executable.c_str(), executable.c_str() + executable.size() + 1));
  } catch (const LxErrorBase& e) {
    report.add(Severity::Error, "bundle-layout", executable, 0, e.rawMessage());
    return;
  }
  report.plan.launcher = launcherPath;
  report.plan.bundle = BundleLayout::imageRoot(launcherPath);
  // An absolute --home, as the launcher's HOME: used as it is.
  const auto home = [&options]() { return options.home.value_or(std::string()); };
  Planner planner(options, report);
  const std::unique_ptr<Zorm> zorm = planBundleLaunch(launcherPath, options.args, home, &planner);
  if (!zorm) return;
  const std::unique_ptr<RlxLaunchData> data(static_cast<RlxLaunchData*>(zorm->exportLauncher()));
  if (!data->libPath.empty()) report.plan.library = data->libPath;
  report.plan.arguments = std::move(data->launchArgs);
  for (std::size_t i = 0; i < data->envNames.size(); ++i) {
    report.plan.environment.emplace_back(data->envNames[i], data->envValues[i]);
  }
}

}  // namespace

Report checkBundle(const CheckOptions& options) {
  Report report;
  check(options, report);
  if (report.plan.launcher) checkBinaries(*report.plan.launcher, report.plan.library, report);
  report.close();
  return report;
}
