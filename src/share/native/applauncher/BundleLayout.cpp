#include "BundleLayout.h"

#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"

namespace BundleLayout {

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

}  // namespace BundleLayout
