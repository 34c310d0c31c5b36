#include "MacBundle.h"

#include "share/native/applauncher/AppLauncher.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"

namespace MacBundle {

std::string imageRoot(const std::string& launcherPath) {
  const std::string root = FileUtils::dirname(FileUtils::dirname(FileUtils::dirname(launcherPath)));
  return root.empty() ? "/" : root;
}

void checkImageRoot(const std::string& imageRoot) {
  if (imageRoot.find(FileUtils::pathSeparator) != std::string::npos) {
    LX_THROW("Cannot launch from \"" << imageRoot << "\": the path contains \""
                                     << FileUtils::pathSeparator
                                     << "\", which separates the entries of a path list");
  }
}

std::string appDir(const std::string& imageRoot) {
  return FileUtils::combinePath(imageRoot, "Contents/app");
}

AppLauncher& configure(AppLauncher& launcher, const std::string& imageRoot) {
  return launcher.setRootDir(imageRoot)
      .addZormLibCandidate("Contents/Home/lib/librlx.dylib")
      .addZormLibCandidate("Contents/Home/lib/rlx/librlx.dylib")
      .setAppDir(appDir(imageRoot))
      .setLibEnvVariableName("DYLD_LIBRARY_PATH")
      .setDefaultRuntimeDir(FileUtils::combinePath(imageRoot, "Contents/runtime"));
}

std::string userCfgDir(const std::string& home, const std::string& packageName) {
  return FileUtils::combinePath(FileUtils::combinePath(home, "Library/Application Support"),
                                packageName);
}

}  // namespace MacBundle
