#include "CheckArgs.h"

const char* const kUsage =
    "usage: applauncher-check [--json] [--strict] [--home DIR] [--launcher NAME] BUNDLE "
    "[-- ARG...]";

CheckArgs parseCheckArgs(const std::vector<std::string>& args) {
  CheckArgs result;
  bool haveBundle = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      result.options.args.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (arg == "--json") {
      result.json = true;
    } else if (arg == "--strict") {
      result.strict = true;
    } else if (arg == "--home" || arg == "--launcher") {
      if (i + 1 == args.size()) throw UsageError(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--home") {
        result.options.home = value;
      } else if (value.empty() || value.find('/') != std::string::npos) {
        throw UsageError("--launcher takes a file name in Contents/MacOS, not '" + value + "'");
      } else {
        result.options.launcherName = value;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option '" + arg + "'");
    } else if (haveBundle) {
      throw UsageError("more than one bundle: '" + result.options.bundle + "' and '" + arg + "'");
    } else {
      result.options.bundle = arg;
      haveBundle = true;
    }
  }
  if (!haveBundle || result.options.bundle.empty()) throw UsageError("no bundle given");
  return result;
}
