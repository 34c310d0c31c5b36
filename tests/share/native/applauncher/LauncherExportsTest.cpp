// The launcher's export list, checked on a probe executable linked the way
// the launcher is. The baseline holds the same code linked without the list.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

// The names of the export list, which the build reads too.
std::set<std::string> readExportList() {
  std::ifstream list(LX_LAUNCHER_EXPORTS_FILE);
  if (!list) throw std::runtime_error("cannot read " LX_LAUNCHER_EXPORTS_FILE);
  std::set<std::string> names;
  for (std::string name; std::getline(list, name);) {
    if (!name.empty() && name[0] != '#') names.insert(name);
  }
  return names;
}

const std::set<std::string> launcherExports = readExportList();

// Output of a shell command; its exit status goes to `status`.
std::string run(const std::string& command, int* status) {
  std::FILE* const pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("popen(" + command + ") failed");
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  const int result = pclose(pipe);
  *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return text;
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

std::set<std::string> exportedSymbols(const std::string& executable) {
  int status = 0;
  std::istringstream lines(
      run(quoted(LX_NM) + " -D --defined-only " + quoted(executable), &status));
  if (status != 0) throw std::runtime_error("nm failed on " + executable);
  std::set<std::string> names;
  for (std::string line; std::getline(lines, line);) {
    names.insert(line.substr(line.find_last_of(' ') + 1));
  }
  return names;
}

}  // namespace

TEST(LauncherExportsTest, TheListAddsExactlyMainAndTheLauncherDataFunctions) {
  const std::set<std::string> baseline = exportedSymbols(LX_EXPORTS_BASELINE);
  std::set<std::string> added;
  for (const std::string& name : exportedSymbols(LX_EXPORTS_PROBE)) {
    if (baseline.count(name) == 0) added.insert(name);
  }
  EXPECT_EQ(launcherExports, added);
}

TEST(LauncherExportsTest, NothingElseIsExported) {
#ifdef LX_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizer runtime exports its own symbols from the executable";
#endif
  EXPECT_EQ(launcherExports, exportedSymbols(LX_EXPORTS_PROBE));
}

TEST(LauncherExportsTest, TheLauncherExportsExactlyItsFiveSymbols) {
#ifdef LX_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizer runtime exports its own symbols from the executable";
#endif
  EXPECT_EQ(launcherExports, exportedSymbols(LX_APPLAUNCHER_PATH));
}

TEST(LauncherExportsTest, RuntimeLookupFindsTheFunctionsOnlyWithTheList) {
  int status = -1;
  const std::string probe = run(quoted(LX_EXPORTS_PROBE), &status);
  EXPECT_EQ(0, status) << probe;
  const std::string baseline = run(quoted(LX_EXPORTS_BASELINE), &status);
  EXPECT_EQ(4, status) << baseline;
}
