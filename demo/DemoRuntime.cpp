// The demo bundle's stand-in for the runtime launcher library: instead of
// starting a managed runtime it shows what the launcher handed over.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int RLX_Launch(int argc, char** argv, void*,
                                                                 void*, void*, void*, const char*,
                                                                 const char*, const char* name,
                                                                 const char*, void*, void*, void*,
                                                                 void*) {
  Dl_info info;
  const bool found = dladdr(reinterpret_cast<void*>(&RLX_Launch), &info) && info.dli_fname;
  std::printf("Demo runtime (%s) loaded from:\n  %s\n", name ? name : "?",
              found ? info.dli_fname : "(unknown)");
  std::printf("Arguments (%d):\n", argc);
  for (int i = 0; i < argc; ++i) std::printf("  [%d] %s\n", i, argv[i]);
  const char* libraryPath = std::getenv("DYLD_LIBRARY_PATH");
  std::printf("Environment:\n  DYLD_LIBRARY_PATH=%s\n", libraryPath ? libraryPath : "(unset)");
  std::printf("The launcher did its job; a real runtime would start the application now.\n");
  return 0;
}
