// Stands in for the launcher executable: its own main, and nothing that calls
// the launcher data functions. Exits with the number of those functions, read
// from the export list, that dlsym(RTLD_DEFAULT, ...) cannot find, as a
// runtime library would look them up.
#include <dlfcn.h>

#include <cstdio>
#include <fstream>
#include <string>

int main() {
  std::ifstream list(LX_LAUNCHER_EXPORTS_FILE);
  if (!list) return 100;
  int missing = 0;
  for (std::string name; std::getline(list, name);) {
    if (name.empty() || name[0] == '#' || name == "main") continue;
    if (!dlsym(RTLD_DEFAULT, name.c_str())) {
      std::printf("%s not found\n", name.c_str());
      ++missing;
    }
  }
  return missing;
}
