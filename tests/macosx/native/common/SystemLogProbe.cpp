// Sends its second argument to the system log with its first as identity,
// through the macOS implementation alone, so that a test can watch its calls.
#include "share/native/common/SystemLog.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  SystemLog::send(argv[1], argv[2]);
  return 0;
}
