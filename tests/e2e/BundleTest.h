// The fixture of the end-to-end tests: a temporary directory holding a home
// folder and the test runtime's record, the environment launchers run with,
// and what the runtime recorded.
#ifndef LX_TESTS_E2E_BUNDLETEST_H
#define LX_TESTS_E2E_BUNDLETEST_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Bundle.h"
#include "Process.h"
#include "Record.h"
#include "TestSupport.h"

class BundleTest : public ::testing::Test {
 protected:
  // The smallest configuration that launches.
  inline static const std::string kMinimalCfg = "[Application]\napp.mainclass=Main\n";

  void SetUp() override {
    makeDirs(tmp / "home");
    env = {{"HOME", tmp / "home"}, {"RLX_TEST_RECORD", tmp / "record"}};
#ifdef LX_SYSLOG_PRELOAD_PATH
    // The shim drops the launcher's system-log records: no test writes the
    // machine's log.
    env["LD_PRELOAD"] = LX_SYSLOG_PRELOAD_PATH;
#endif
  }

  // The command line that starts the bundle's launcher by its absolute path.
  static std::vector<std::string> commandLine(const Bundle& bundle,
                                              const std::vector<std::string>& args) {
    std::vector<std::string> argv{bundle.launcher()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }

  std::vector<Call> calls() const { return parseRecord(readFile(tmp / "record")); }

  // A bundle "Demo.app" in `parent` with a minimal configuration and the
  // runtime library in place.
  static Bundle readyBundle(const std::string& parent) {
    Bundle bundle(parent, "Demo");
    bundle.writeCfg(kMinimalCfg);
    bundle.installRuntime();
    return bundle;
  }

  TempDir tmp;
  Environment env;
};

#endif
