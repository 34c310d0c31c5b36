// Checks a bundle the way its launcher would start it: the plan comes from
// the launcher's own set-up and planning code, and the findings name every
// failure and silent pitfall on the way. Reads files and stats paths only;
// nothing from the bundle is loaded, run or written.
#ifndef LX_TOOLS_CHECKER_BUNDLECHECK_H
#define LX_TOOLS_CHECKER_BUNDLECHECK_H

#include <optional>
#include <string>
#include <vector>

#include "Report.h"

struct CheckOptions {
  std::string bundle;
  std::string launcherName;         // empty: the only executable in Contents/MacOS
  std::optional<std::string> home;  // unset: the bundle's own configuration; else absolute
  std::vector<std::string> args;    // what the launcher keeps of its command line
};

// Throws only what the launcher cannot recover from either (memory, the
// working directory).
Report checkBundle(const CheckOptions& options);

#endif
