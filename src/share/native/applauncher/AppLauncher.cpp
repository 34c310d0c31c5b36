#include "AppLauncher.h"

#include <memory>
#include <optional>

#include "CfgFile.h"
#include "CfgProperty.h"
#include "ZormLauncher.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/Log.h"
#include "share/native/common/SysInfo.h"
#include "share/native/common/tstrings.h"

AppLauncher::AppLauncher(std::string launcherPath, std::vector<std::string> args)
    : args(std::move(args)), launcherPath(std::move(launcherPath)) {}

AppLauncher& AppLauncher::setRootDir(const std::string& v) {
  rootDir = v;
  return *this;
}

AppLauncher& AppLauncher::setDefaultRuntimeDir(const std::string& v) {
  defaultRuntimeDir = v;
  return *this;
}

AppLauncher& AppLauncher::setAppDir(const std::string& v) {
  appDir = v;
  return *this;
}

AppLauncher& AppLauncher::setLibEnvVariableName(const std::string& v) {
  libEnvVariableName = v;
  return *this;
}

AppLauncher& AppLauncher::addZormLibCandidate(const std::string& v) {
  zormLibCandidates.push_back(v);
  return *this;
}

AppLauncher& AppLauncher::addCfgSearchDir(const std::string& v) {
  cfgSearchDirs.push_back(v);
  return *this;
}

std::string AppLauncher::getCfgFilePath() const {
  const std::string cfgFileName =
      FileUtils::stripExeSuffix(FileUtils::basename(launcherPath)) + ".cfg";
  for (const std::string& dir : cfgSearchDirs) {
    const std::string path = FileUtils::combinePath(dir, cfgFileName);
    LX_TRACE("Check [" << path << "] file exit");
    if (FileUtils::isFileExists(path)) return path;
  }
  return FileUtils::combinePath(appDir, cfgFileName);
}

bool AppLauncher::libEnvVariableContainsAppDir() const {
  std::vector<std::string> dirs;
  tstrings::split(dirs, SysInfo::getEnvVariable(std::nothrow, libEnvVariableName, std::string()),
                  std::string(1, FileUtils::pathSeparator), tstrings::KeepAll);
  for (const std::string& dir : dirs) {
    if (dir == appDir) return true;
  }
  return false;
}

CfgFile::Macros AppLauncher::getMacros() const {
  return {
      {"$APPDIR", appDir},
      {"$BINDIR", FileUtils::dirname(launcherPath)},
      {"$ROOTDIR", rootDir},
  };
}

CfgFile AppLauncher::loadCfgFile(const std::string& path, CfgFileObserver* observer) const {
  CfgFile cfg = CfgFile::load(path, observer).expandMacros(getMacros());
  // After the expansion, so command-line arguments are passed on untouched.
  if (!args.empty()) {
    cfg.setPropertyValue(CfgProperties::arguments.section, CfgProperties::arguments.name, args);
  }
  return cfg;
}

Zorm* AppLauncher::createZormLauncher(LaunchObserver* observer) const {
  const std::string cfgFilePath = getCfgFilePath();
  LX_TRACE("Launcher config file path: \"" << cfgFilePath << "\"");
  std::optional<CfgFile> cfg;
  try {
    cfg.emplace(
        loadCfgFile(cfgFilePath, observer ? observer->reading(cfgFilePath, *this) : nullptr));
  } catch (const CfgFileError& e) {
    if (!observer) throw;
    observer->unloaded(e);
    return nullptr;
  }
  if (observer) observer->loaded(*cfg, getRuntimeDir(*cfg));
  std::unique_ptr<Zorm> zorm(new Zorm());
  std::string libPath;
  planStep(observer, LaunchStep::Runtime, [&] { libPath = findZormLib(*cfg); });
  describeLaunch(*zorm, *cfg, libPath);
  return zorm.release();
}

void AppLauncher::describeLaunch(Zorm& zorm, const CfgFile& cfg, const std::string& libPath) const {
  if (!libEnvVariableContainsAppDir()) {
    const std::string current =
        SysInfo::getEnvVariable(std::nothrow, libEnvVariableName, std::string());
    // An empty entry would make the dynamic loader search the current
    // directory, so an unset or empty variable becomes the directory alone.
    zorm.addEnvVariable(libEnvVariableName,
                        current.empty() ? appDir : current + FileUtils::pathSeparator + appDir);
  }
  zorm.setLibPath(libPath).addLaunchArg(launcherPath).initFromConfigFile(cfg, launcherPath);
}

std::string AppLauncher::getRuntimeDir(const CfgFile& cfg) const {
  const CfgFile::Property* runtime = CfgProperties::runtime.find(cfg);
  const std::string dir = runtime ? CfgFile::asString(*runtime) : defaultRuntimeDir;
  // The working directory never supplies the runtime: an empty or relative
  // directory counts from the image root.
  if (dir.empty() || dir[0] != '/') return FileUtils::combinePath(rootDir, dir);
  return dir;
}

std::string AppLauncher::findZormLib(const CfgFile& cfg) const {
  const std::string runtimeDir = getRuntimeDir(cfg);
  if (!CfgProperties::runtime.find(cfg)) {
    LX_TRACE("Property \"" << CfgProperties::runtime.name.name() << "\" not found in \""
                           << CfgProperties::runtime.section.name()
                           << "\" section of launcher config file."
                           << " Using Vexa runtime from \"" << runtimeDir << "\" directory");
  }
  for (const std::string& candidate : zormLibCandidates) {
    const std::string path = FileUtils::combinePath(runtimeDir, candidate);
    if (FileUtils::isFileExists(path)) return path;
  }
  LX_THROW("Failed to find ZORM in \"" << runtimeDir << "\" directory.");
}
