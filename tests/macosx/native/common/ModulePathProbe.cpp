// Prints the executable's path as the launcher finds it, so that tests can
// start this program in different ways and compare.
#include <exception>
#include <iostream>

#include "share/native/common/SysInfo.h"

int main() {
  try {
    std::cout << SysInfo::getProcessModulePath() << std::endl;
    return 0;
  } catch (const std::exception& e) {
    std::cerr << e.what() << std::endl;
    return 1;
  }
}
