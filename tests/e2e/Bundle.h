// An application bundle assembled for one test in a temporary directory: the
// launcher copied in as "<name>.app/Contents/MacOS/<name>", its configuration,
// and a runtime image holding the test runtime library.
#ifndef LX_TESTS_E2E_BUNDLE_H
#define LX_TESTS_E2E_BUNDLE_H

#include <string>
#include <vector>

#include "Process.h"

class Bundle {
 public:
  // The runtime library path that the launcher tries first.
  static constexpr const char* kRuntimeLib = "Contents/Home/lib/librlx.dylib";

  Bundle(const std::string& parentDir, const std::string& name);

  const std::string& root() const { return rootDir; }
  std::string launcher() const { return rootDir + "/Contents/MacOS/" + name; }
  std::string binDir() const { return rootDir + "/Contents/MacOS"; }
  std::string appDir() const { return rootDir + "/Contents/app"; }
  std::string runtimeDir() const { return rootDir + "/Contents/runtime"; }
  std::string cfgPath() const { return appDir() + "/" + name + ".cfg"; }

  void writeCfg(const std::string& content) const;
  // Copies the test runtime library to `relative` below `runtime` (the
  // bundle's default runtime directory unless given).
  void installRuntime(const std::string& relative = kRuntimeLib,
                      std::string runtime = std::string()) const;

 private:
  std::string rootDir;
  std::string name;
};

// Copies a file with its bytes and the given mode.
void copyFile(const std::string& from, const std::string& to, unsigned mode);

// Runs a launcher as runProcess does. When LX_E2E_VALGRIND names the valgrind
// program, the launcher runs under memcheck instead, which reports on stderr
// and exits with a status of its own on an invalid access, a use of an
// uninitialised value or a definite leak; such a run fails the current test.
// `args[0]` must then be `program`, as valgrind passes that name on.
ProcessResult runLauncher(const std::string& program, const std::vector<std::string>& args,
                          const Environment& env, const std::string& cwd = std::string());

#endif
