// The layout of an application bundle around its executable
// "<image root>/Contents/<dir>/<name>". The launcher's set-up and the bundle
// checker both plan with it, so they agree on every directory.
#ifndef LX_MACOSX_APPLAUNCHER_MACBUNDLE_H
#define LX_MACOSX_APPLAUNCHER_MACBUNDLE_H

#include <string>

class AppLauncher;

namespace MacBundle {

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

}  // namespace MacBundle

#endif
