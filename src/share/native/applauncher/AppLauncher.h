// The platform-neutral planner of a launch. Given the directories of an
// application image, it finds the configuration file of the running
// executable, loads and expands it, chooses the runtime directory and the
// runtime launcher library in it, and produces the launch description.
// It starts nothing itself.
#ifndef LX_SHARE_APPLAUNCHER_APPLAUNCHER_H
#define LX_SHARE_APPLAUNCHER_APPLAUNCHER_H

#include <string>
#include <vector>

#include "CfgFile.h"
#include "LaunchObserver.h"

class Zorm;

class AppLauncher {
 public:
  // Plans for the executable at `launcherPath` started with `args`.
  AppLauncher(std::string launcherPath, std::vector<std::string> args);

  AppLauncher& setRootDir(const std::string& v);
  AppLauncher& setDefaultRuntimeDir(const std::string& v);
  AppLauncher& setAppDir(const std::string& v);
  AppLauncher& setLibEnvVariableName(const std::string& v);
  AppLauncher& addZormLibCandidate(const std::string& v);
  AppLauncher& addCfgSearchDir(const std::string& v);

  // The first "<dir>/<executable name>.cfg" that exists among the search
  // directories, else the one in the application directory, existing or not.
  std::string getCfgFilePath() const;

  // True when the library-path variable already lists the application
  // directory as one of its ":"-separated entries, byte for byte.
  bool libEnvVariableContainsAppDir() const;

  // "$APPDIR", "$BINDIR" and "$ROOTDIR" with their values.
  CfgFile::Macros getMacros() const;

  // The configuration at `path` with its macros expanded and the
  // command-line arguments in place of the configured ones; `observer` as
  // for CfgFile::load.
  CfgFile loadCfgFile(const std::string& path, CfgFileObserver* observer = nullptr) const;

  // The runtime directory: the configuration's "app.runtime", else the
  // default; an empty or relative one is taken below the image root.
  std::string getRuntimeDir(const CfgFile& cfg) const;

  // The first library candidate that exists in the runtime directory;
  // throws when none does.
  std::string findZormLib(const CfgFile& cfg) const;

  // A new launch description, owned by the caller: the configuration file,
  // the runtime library and the arguments. Throws on every failure and leaks
  // nothing then; with an observer, see LaunchObserver, and null when the
  // configuration could not be loaded.
  Zorm* createZormLauncher(LaunchObserver* observer = nullptr) const;

 private:
  // Fills an empty description from a loaded configuration and a library
  // path: the library-path variable, the library, the launcher's path and
  // the configured arguments.
  void describeLaunch(Zorm& zorm, const CfgFile& cfg, const std::string& libPath) const;

  std::vector<std::string> args;
  std::string launcherPath;
  std::string defaultRuntimeDir;
  std::string appDir;
  std::string libEnvVariableName;
  std::string rootDir;
  std::vector<std::string> zormLibCandidates;
  std::vector<std::string> cfgSearchDirs;
};

#endif
