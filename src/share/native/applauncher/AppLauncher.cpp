#include "AppLauncher.h"

#include <memory>

#include "CfgFile.h"
#include "ZormLauncher.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/Log.h"
#include "share/native/common/SysInfo.h"
#include "share/native/common/tstrings.h"

AppLauncher::AppLauncher() {
  launcherPath = SysInfo::getProcessModulePath();
  args = SysInfo::getCommandArgs(SysInfo::ExcludeProgramName);
}

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

Zorm* AppLauncher::createZormLauncher() const {
  const std::string cfgFilePath = getCfgFilePath();
  LX_TRACE("Launcher config file path: \"" << cfgFilePath << "\"");

  const CfgFile::Macros macros = {
      {"$APPDIR", appDir},
      {"$BINDIR", FileUtils::dirname(launcherPath)},
      {"$ROOTDIR", rootDir},
  };
  CfgFile cfg = CfgFile::load(cfgFilePath).expandMacros(macros);
  // After the expansion, so command-line arguments are passed on untouched.
  if (!args.empty()) {
    cfg.setPropertyValue(SectionName::ArgOptions, PropertyName::arguments, args);
  }

  std::unique_ptr<Zorm> zorm(new Zorm());
  if (!libEnvVariableContainsAppDir()) {
    const std::string current =
        SysInfo::getEnvVariable(std::nothrow, libEnvVariableName, std::string());
    // An empty entry would make the dynamic loader search the current
    // directory, so an unset or empty variable becomes the directory alone.
    zorm->addEnvVariable(libEnvVariableName,
                         current.empty() ? appDir : current + FileUtils::pathSeparator + appDir);
  }
  zorm->setLibPath(findZormLib(cfg));
  zorm->addLaunchArg(launcherPath);
  zorm->initFromConfigFile(cfg);
  return zorm.release();
}

std::string AppLauncher::findZormLib(const CfgFile& cfg) const {
  const CfgFile::Properties& appOptions = cfg.getProperties(SectionName::Application);
  const auto runtime = appOptions.find(PropertyName::runtime);
  std::string runtimeDir;
  if (runtime != appOptions.end()) {
    runtimeDir = CfgFile::asString(*runtime);
  } else {
    runtimeDir = defaultRuntimeDir;
    LX_TRACE("Property \"" << PropertyName::runtime.name() << "\" not found in \""
                           << SectionName::Application.name()
                           << "\" section of launcher config file."
                           << " Using Vexa runtime from \"" << runtimeDir << "\" directory");
  }
  // The working directory never supplies the runtime: an empty or relative
  // directory counts from the image root.
  if (runtimeDir.empty() || runtimeDir[0] != '/')
    runtimeDir = FileUtils::combinePath(rootDir, runtimeDir);
  for (const std::string& candidate : zormLibCandidates) {
    const std::string path = FileUtils::combinePath(runtimeDir, candidate);
    if (FileUtils::isFileExists(path)) return path;
  }
  LX_THROW("Failed to find ZORM in \"" << runtimeDir << "\" directory.");
}

void AppLauncher::launch() const {
  std::unique_ptr<Zorm> zorm(createZormLauncher());
  zorm->launch();
}
