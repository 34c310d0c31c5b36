// The names macOS fixes in a bundle's layout.
#include "share/native/applauncher/AppLauncher.h"
#include "share/native/applauncher/BundleLayout.h"
#include "share/native/common/FileUtils.h"

namespace BundleLayout {

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

}  // namespace BundleLayout
