#include "CheckArgs.h"

const char* const kUsage =
    "usage: applauncher-check [--json] [--strict] [--home DIR] [--launcher NAME] BUNDLE "
    "[-- ARG...]";

const char* const kHelp =
    "usage: applauncher-check [--json] [--strict] [--home DIR] [--launcher NAME] BUNDLE\n"
    "                         [-- ARG...]\n"
    "       applauncher-check --help | --version\n"
    "\n"
    "Shows what a launch of the bundle BUNDLE (X.app) would do, and every pitfall on\n"
    "the way, as its launcher would meet them. Nothing from the bundle is run.\n"
    "\n"
    "  --json           one JSON object instead of lines\n"
    "  --strict         warnings fail the check too\n"
    "  --home DIR       check as a user whose HOME is DIR (per-user configuration)\n"
    "  --launcher NAME  the executable in Contents/MacOS, when there are several\n"
    "  -- ARG...        the launch's command-line arguments\n"
    "  --help           this text\n"
    "  --version        the version\n"
    "\n"
    "Exit status: 0 the bundle would launch; 1 it would not (with --strict: or a\n"
    "warning was found); 2 the check could not be done (one line on standard error).\n";

CheckArgs parseCheckArgs(const std::vector<std::string>& args) {
  CheckArgs result;
  bool haveBundle = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      result.options.args.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (arg == "--help" || arg == "--version") {
      CheckArgs only;
      (arg == "--help" ? only.help : only.version) = true;
      return only;
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
