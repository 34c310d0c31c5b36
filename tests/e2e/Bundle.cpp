#include "Bundle.h"

#include <sys/stat.h>

#include <stdexcept>

#include "TestSupport.h"

void copyFile(const std::string& from, const std::string& to, unsigned mode) {
  writeFile(to, readFile(from));
  if (chmod(to.c_str(), mode) != 0) throw std::runtime_error("chmod " + to);
}

Bundle::Bundle(const std::string& parentDir, const std::string& name)
    : rootDir(parentDir + "/" + name + ".app"), name(name) {
  copyFile(LX_APPLAUNCHER_PATH, launcher(), 0755);
  makeDirs(appDir());
}

void Bundle::writeCfg(const std::string& content) const { writeFile(cfgPath(), content); }

void Bundle::installRuntime(const std::string& relative, std::string runtime) const {
  if (runtime.empty()) runtime = runtimeDir();
  copyFile(LX_TEST_RUNTIME_PATH, runtime + "/" + relative, 0755);
}
