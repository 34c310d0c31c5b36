#include "BundleCheck.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <new>

#include "CfgLint.h"
#include "macosx/native/applauncher/MacBundle.h"
#include "share/native/applauncher/AppLauncher.h"
#include "share/native/applauncher/CfgProperty.h"
#include "share/native/applauncher/PackageFile.h"
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

std::string readPackageName(const std::string& appDir, Report& report) {
  // The launcher's own reader refuses a pipe or a device without waiting on it.
  const std::string path = FileUtils::combinePath(appDir, ".package");
  try {
    const std::string name = PackageFile::loadFromAppDir(appDir).getPackageName();
    if (!name.empty() && name.back() == '\r') {
      report.add(Severity::Warning, "package-cr", path, 1,
                 "the package name ends in a carriage return (a Windows line end) and keeps it, "
                 "so no per-user configuration is ever found under it");
    }
    return name;
  } catch (const LxErrorBase& e) {
    report.add(Severity::Error, "package-unreadable", path, 0, e.rawMessage());
  }
  return std::string();
}

// Why the launcher's loader failed, told from what the parser last read.
const char* loadFailure(const std::string& path, const CfgLint& lint) {
  if (!FileUtils::isFileExists(path)) return "config-missing";
  const std::string& last = lint.lastLine();
  if (lint.lastLineNumber() > 0 && !last.empty() && last[0] == '[' &&
      last.find(']') == std::string::npos) {
    return "config-syntax";
  }
  if (lint.lastLineNumber() > 0 && last.find('\0') != std::string::npos) return "config-nul";
  return "config-unreadable";
}

std::optional<CfgFile> loadCfgFile(const AppLauncher& launcher, const std::string& path,
                                   Report& report) {
  CfgLint lint(report, path, launcher.getMacros());
  try {
    CfgFile cfg = launcher.loadCfgFile(path, &lint);
    lint.finish();
    lint.checkLoaded(cfg);
    return std::optional<CfgFile>(std::move(cfg));
  } catch (const LxErrorBase& e) {
    // The reader tells a failed allocation as a read error; here that is the
    // checker's own memory, which says nothing about the launch.
    if (errno == ENOMEM) throw std::bad_alloc();
    lint.finish();
    const std::string code = loadFailure(path, lint);
    const bool atLine = code == "config-syntax" || code == "config-nul";
    const std::int64_t line = atLine ? lint.lastLineNumber() : 0;
    report.add(Severity::Error, code, path, line, e.rawMessage());
  }
  return std::nullopt;
}

// The configuration, runtime and argument part of the plan.
void planLaunch(const AppLauncher& launcher, const std::string& cfgPath, Report& report) {
  const std::optional<CfgFile> cfg = loadCfgFile(launcher, cfgPath, report);
  if (!cfg) return;
  const std::string runtimeDir = launcher.getRuntimeDir(*cfg);
  report.plan.runtimeDirectory = runtimeDir;
  if (!CfgProperties::runtime.find(*cfg)) {
    report.add(Severity::Note, "runtime-default", cfgPath, 0,
               "no app.runtime in [Application]: the runtime is the bundle's own, " + runtimeDir);
  }
  std::string library;
  try {
    library = launcher.findZormLib(*cfg);
    report.plan.library = library;
  } catch (const LxErrorBase& e) {
    report.add(Severity::Error, "runtime-missing", cfgPath, 0, e.rawMessage());
  }
  Zorm zorm;
  launcher.describeLaunch(zorm, *cfg, library);
  const std::unique_ptr<RlxLaunchData> data(static_cast<RlxLaunchData*>(zorm.exportLauncher()));
  report.plan.arguments = std::move(data->launchArgs);
  for (std::size_t i = 0; i < data->envNames.size(); ++i) {
    report.plan.environment.emplace_back(data->envNames[i], data->envValues[i]);
  }
}

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
  const std::string imageRoot = MacBundle::imageRoot(launcherPath);
  report.plan.bundle = imageRoot;
  try {
    MacBundle::checkImageRoot(imageRoot);
  } catch (const LxErrorBase& e) {
    report.add(Severity::Error, "bundle-path-colon", imageRoot, 0, e.rawMessage());
  }

  const std::string packageName = readPackageName(MacBundle::appDir(imageRoot), report);
  AppLauncher launcher(launcherPath, options.args);
  MacBundle::configure(launcher, imageRoot);
  if (!packageName.empty() && options.home && !options.home->empty()) {
    // The launcher ignores a relative HOME; a relative --home names a directory
    // below the checker's working directory, as any path argument does.
    const std::string home =
        FileUtils::removeDotComponents(FileUtils::toAbsolutePath(*options.home));
    launcher.addCfgSearchDir(MacBundle::userCfgDir(home, packageName));
  }
  const std::string cfgPath = launcher.getCfgFilePath();
  report.plan.config = cfgPath;
  const bool perUser =
      cfgPath != FileUtils::combinePath(MacBundle::appDir(imageRoot), FileUtils::basename(cfgPath));
  report.add(Severity::Note, "config-chosen", cfgPath, 0,
             perUser ? "the launch reads this per-user configuration"
                     : "the launch reads this configuration of the bundle");
  if (!packageName.empty() && !options.home) {
    report.add(Severity::Note, "per-user-override", cfgPath, 0,
               "a user's copy at " +
                   FileUtils::combinePath(MacBundle::userCfgDir("$HOME", packageName),
                                          FileUtils::basename(cfgPath)) +
                   " would be read instead; --home DIR checks as that user");
  }
  planLaunch(launcher, cfgPath, report);
}

}  // namespace

Report checkBundle(const CheckOptions& options) {
  Report report;
  check(options, report);
  report.close();
  return report;
}
