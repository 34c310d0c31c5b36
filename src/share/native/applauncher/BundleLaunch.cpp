#include "BundleLaunch.h"

#include "AppLauncher.h"
#include "BundleLayout.h"
#include "PackageFile.h"

std::unique_ptr<Zorm> planBundleLaunch(const std::string& launcherPath,
                                       std::vector<std::string> args,
                                       const std::function<std::string()>& home,
                                       LaunchObserver* observer) {
  const std::string imageRoot = BundleLayout::imageRoot(launcherPath);
  planStep(observer, LaunchStep::ImageRoot, [&] { BundleLayout::checkImageRoot(imageRoot); });
  std::string packageName;
  planStep(observer, LaunchStep::PackageFile, [&] {
    packageName = PackageFile::loadFromAppDir(BundleLayout::appDir(imageRoot)).getPackageName();
  });
  if (observer) observer->package(packageName);

  AppLauncher launcher(launcherPath, std::move(args));
  BundleLayout::configure(launcher, imageRoot);
  if (!packageName.empty()) {
    const std::string homeDir = home();
    if (!homeDir.empty()) launcher.addCfgSearchDir(BundleLayout::userCfgDir(homeDir, packageName));
  }
  return std::unique_ptr<Zorm>(launcher.createZormLauncher(observer));
}
