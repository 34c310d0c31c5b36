// The layout of an application bundle around its executable
// "<image root>/Contents/<dir>/<name>". The launch's set-up plans with it, so
// the launcher and the bundle checker agree on every directory. The path
// arithmetic is the same everywhere; the platform's folder supplies the
// names the platform fixes (runtime library, library-path variable, per-user
// folder).
#ifndef LX_SHARE_APPLAUNCHER_BUNDLELAYOUT_H
#define LX_SHARE_APPLAUNCHER_BUNDLELAYOUT_H

#include <string>

class AppLauncher;

namespace BundleLayout {

// The image root: the executable's path without its last three components;
// "/" for an executable fewer than three directories deep, never the working
// directory.
std::string imageRoot(const std::string& launcherPath);

// Throws when the image root cannot be launched from: a path holding ":"
// would fall apart into several entries of the class path and of the library
// path variable, some of them relative to the working directory.
void checkImageRoot(const std::string& imageRoot);

// "<image root>/Contents/app", home of the configuration and the package descriptor.
std::string appDir(const std::string& imageRoot);

// Gives `launcher` the bundle's directories, runtime library candidates and
// library-path variable.
AppLauncher& configure(AppLauncher& launcher, const std::string& imageRoot);

// The per-user configuration directory of a package for a home directory.
std::string userCfgDir(const std::string& home, const std::string& packageName);

}  // namespace BundleLayout

#endif
