// The platform-neutral planner of a launch. Given the directories of an
// application image, it finds the configuration file of the running
// executable, loads and expands it, chooses the runtime directory and the
// runtime launcher library in it, and produces the launch description.
// It starts nothing itself.
#ifndef LX_SHARE_APPLAUNCHER_APPLAUNCHER_H
#define LX_SHARE_APPLAUNCHER_APPLAUNCHER_H

#include <string>
#include <vector>

class CfgFile;
class Zorm;

class AppLauncher {
 public:
  // Takes the executable's path and the command-line arguments (without
  // "-psn_" ones) of this process; throws when either cannot be had.
  AppLauncher();

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

  // A new launch description, owned by the caller. Throws on every failure
  // and leaks nothing then.
  Zorm* createZormLauncher() const;

  // Creates a launch description, launches it and deletes it.
  void launch() const;

 private:
  std::string findZormLib(const CfgFile& cfg) const;

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
