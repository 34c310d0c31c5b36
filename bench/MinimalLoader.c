/* The floor of a launch: start, load the runtime library named by the first
   argument with lazy binding, look up "RLX_Launch", call it with the fourteen
   arguments (the remaining command line as the argument list) and exit with
   its result. Nothing else, so that it measures what any launcher must pay. */
#include <dlfcn.h>
#include <stdio.h>

typedef int (*RlxLaunchFunc)(int, char**, void*, void*, void*, void*, const char*, const char*,
                             const char*, const char*, void*, void*, void*, void*);

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s LIBRARY [ARGUMENT...]\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_LAZY);
  if (!library) {
    fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  /* POSIX's way of turning dlsym's object pointer into a function pointer. */
  RlxLaunchFunc launch;
  *(void**)&launch = dlsym(library, "RLX_Launch");
  if (!launch) {
    fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  return launch(argc - 2, argv + 2, 0, 0, 0, 0, "", "", "vexa", "vexa", 0, 0, 0, 0);
}
