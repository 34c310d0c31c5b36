// The checker's command line:
//   applauncher-check [--json] [--strict] [--home DIR] [--launcher NAME] BUNDLE [-- ARG...]
//   applauncher-check --help | --version
#ifndef LX_TOOLS_CHECKER_CHECKARGS_H
#define LX_TOOLS_CHECKER_CHECKARGS_H

#include <stdexcept>
#include <string>
#include <vector>

#include "BundleCheck.h"

extern const char* const kUsage;
// The usage, every option and the exit statuses, for --help.
extern const char* const kHelp;

// A command line that does not fit the usage; what() says what is wrong.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CheckArgs {
  bool help = false;     // --help: nothing else is read
  bool version = false;  // --version: nothing else is read
  bool json = false;
  bool strict = false;
  CheckOptions options;  // options.args not yet filtered as the launcher does
};

// `args` without the program name. Throws UsageError.
CheckArgs parseCheckArgs(const std::vector<std::string>& args);

#endif
