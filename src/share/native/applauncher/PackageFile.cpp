#include "PackageFile.h"

#include <fstream>

#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/Log.h"

PackageFile PackageFile::loadFromAppDir(const std::string& appDir) {
  const std::string path = FileUtils::combinePath(appDir, ".package");
  if (!FileUtils::isFileExists(path)) return PackageFile(std::string());

  LX_TRACE("Read \"" << path << "\" package file");
  std::ifstream in(path);
  if (!in.good()) {
    LX_THROW_SYSTEM_ERROR("Error opening \"" << path << "\" file: ");
  }
  std::string name;
  if (!std::getline(in, name)) return PackageFile(std::string());
  LX_TRACE("Package name is [" << name << "]");
  return PackageFile(name);
}
