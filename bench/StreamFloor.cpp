// The C loader's work (MinimalLoader.c) plus the C++ standard library set-up
// that any launcher built the required way pays: the standard streams exist
// (std::cout and std::cerr are written to), and every log message is built in
// a string stream. The second argument is the number of messages to build.
// What the launcher costs beyond this floor is its own doing.
#include <dlfcn.h>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "share/native/applauncher/RlxLaunch.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: " << argv[0] << " LIBRARY MESSAGES" << std::endl;
    return 2;
  }
  const int messages = std::atoi(argv[2]);
  std::size_t built = 0;
  for (int i = 0; i < messages; ++i) {
    std::ostringstream message;
    message << "Need " << i << " bytes";
    built += message.str().size();
  }
  void* library = dlopen(argv[1], RTLD_LAZY);
  if (!library) return 1;
  const RlxLaunchFunc launch = reinterpret_cast<RlxLaunchFunc>(dlsym(library, "RLX_Launch"));
  if (!launch) return 1;
  const int result = launch(0, argv + argc, nullptr, nullptr, nullptr, nullptr, "", "", "vexa",
                            "vexa", nullptr, nullptr, nullptr, nullptr);
  return messages > 0 && built == 0 ? 1 : result;
}
