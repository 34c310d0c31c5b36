// Stands in for the launcher executable: its own main, and nothing that calls
// the launcher data functions. Exits with the number of those functions that
// dlsym(RTLD_DEFAULT, ...) cannot find, as a runtime library would look them up.
#include <dlfcn.h>

#include <cstdio>

int main() {
  const char* const names[] = {"zormLauncherGetAPI", "zormLauncherCreateZormlLauncherData",
                               "zormLauncherStartZorm", "zormLauncherLog"};
  int missing = 0;
  for (const char* name : names) {
    if (!dlsym(RTLD_DEFAULT, name)) {
      std::printf("%s not found\n", name);
      ++missing;
    }
  }
  return missing;
}
