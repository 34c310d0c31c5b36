// A runtime launcher library for the end-to-end tests, built as "librlx.dylib".
// Its entry point records everything it receives to the file named by
// RLX_TEST_RECORD, one "key=value" line each, and returns RLX_TEST_RESULT.
// With RLX_TEST_REENTER=n it enters the executable's main again, nested up to
// n deep; nested calls return RLX_TEST_NESTED_RESULT instead. It records the
// open descriptors on entry and after a nested main.
// C stdio only, so the library unloads cleanly when the launcher closes it.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "Descriptors.h"
#include "Escape.h"

namespace {

int depth = 0;
int calls = 0;

int envInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

std::string text(const char* value) { return value ? escapeBytes(value) : "<null>"; }

std::string descriptors() {
  char list[4096];
  listDescriptors(list, sizeof list);
  return list;
}

// Appends one "key=value" line to the record.
void put(const char* key, const std::string& value) {
  const char* path = std::getenv("RLX_TEST_RECORD");
  if (!path) return;
  FILE* record = std::fopen(path, "ab");
  if (!record) return;
  std::fprintf(record, "%s=%s\n", key, value.c_str());
  std::fclose(record);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int RLX_Launch(
    int argc, char** argv, void* p3, void* p4, void* p5, void* p6, const char* p7, const char* p8,
    const char* p9, const char* p10, void* p11, void* p12, void* p13, void* p14) {
  ++calls;
  const std::string openOnEntry = descriptors();
  put("call", std::to_string(calls) + " depth=" + std::to_string(depth));
  put("fds", openOnEntry);
  put("sigpipe", sigpipeState());
  Dl_info info;
  const bool found = dladdr(reinterpret_cast<void*>(&RLX_Launch), &info) && info.dli_fname;
  put("library", found ? escapeBytes(info.dli_fname) : "?");
  put("argc", std::to_string(argc));
  for (int i = 0; i < argc; ++i) put("arg", text(argv[i]));
  put("argv[argc]", argv[argc] ? "set" : "null");
  std::string zeros;
  for (const void* p : {p3, p4, p5, p6, p11, p12, p13, p14}) {
    zeros += (zeros.empty() ? "" : ",") + std::to_string(reinterpret_cast<std::uintptr_t>(p));
  }
  put("zeros", zeros);
  put("strings", "[" + text(p7) + "][" + text(p8) + "][" + text(p9) + "][" + text(p10) + "]");
  const char* libraryPath = std::getenv("DYLD_LIBRARY_PATH");
  put("DYLD_LIBRARY_PATH", libraryPath ? text(libraryPath) : "<unset>");

  if (depth < envInt("RLX_TEST_REENTER", 0)) {
    typedef int (*MainFunction)(int, char**);
    const MainFunction entry = reinterpret_cast<MainFunction>(dlsym(RTLD_DEFAULT, "main"));
    if (!entry) {
      put("main", "not found");
      return 99;
    }
    ++depth;
    const int nested = entry(argc, argv);
    --depth;
    put("main returned", std::to_string(nested) + " at depth=" + std::to_string(depth));
    put("fds after main", descriptors());
  }
  return depth > 0 ? envInt("RLX_TEST_NESTED_RESULT", 0) : envInt("RLX_TEST_RESULT", 0);
}
