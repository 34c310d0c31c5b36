#include "Bundle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <stdexcept>

#include "TestSupport.h"

namespace {

// Neither the launcher's 0 and 1 nor the 126 and 127 of a failed exec.
constexpr int kMemcheckErrorStatus = 86;

}  // namespace

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

ProcessResult runLauncher(const std::string& program, const std::vector<std::string>& args,
                          const Environment& env, const std::string& cwd) {
  const char* const valgrind = std::getenv("LX_E2E_VALGRIND");
  if (!valgrind || !*valgrind) return runProcess(program, args, env, cwd);
  if (args.empty() || args[0] != program) {
    throw std::invalid_argument("under valgrind argv[0] is the program: " + program);
  }

  // Memory kept on purpose until exit is still reachable, not leaked.
  std::vector<std::string> wrapped{valgrind,
                                   "--quiet",
                                   "--error-exitcode=" + std::to_string(kMemcheckErrorStatus),
                                   "--leak-check=full",
                                   "--show-leak-kinds=definite",
                                   "--errors-for-leak-kinds=definite",
                                   "--track-origins=yes",
                                   program};
  wrapped.insert(wrapped.end(), args.begin() + 1, args.end());
  // valgrind starts far slower than the launcher itself.
  const ProcessResult result = runProcess(valgrind, wrapped, env, cwd, 120);
  if (result.exited && result.status == kMemcheckErrorStatus) {
    ADD_FAILURE() << "memcheck found errors in " << program << ":\n" << result.err;
  }
  return result;
}
