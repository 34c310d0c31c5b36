// The one way from a bundle's executable to its launch description: the
// launcher's main and the bundle checker both plan here, and differ only in
// where the HOME value comes from and in what they do with a failure.
#ifndef LX_SHARE_APPLAUNCHER_BUNDLELAUNCH_H
#define LX_SHARE_APPLAUNCHER_BUNDLELAUNCH_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LaunchObserver.h"
#include "ZormLauncher.h"

// Plans the launch of the executable at `launcherPath` (as
// SysInfo::getExecutablePath gives it) with the command-line arguments `args`
// (as SysInfo::getCommandArgs keeps them). `home` gives the home directory,
// asked for only when the bundle names a package: empty for none, else an
// absolute path used as it is, so that the file system resolves its links
// and "..". Without an observer, throws what the launcher reports; with one,
// returns null when the plan ended early.
std::unique_ptr<Zorm> planBundleLaunch(const std::string& launcherPath,
                                       std::vector<std::string> args,
                                       const std::function<std::string()>& home,
                                       LaunchObserver* observer = nullptr);

#endif
