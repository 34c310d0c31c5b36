#include "PackageFile.h"

#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/InputFile.h"
#include "share/native/common/Log.h"

PackageFile PackageFile::loadFromAppDir(const std::string& appDir) {
  const std::string path = FileUtils::combinePath(appDir, ".package");
  if (!FileUtils::isFileExists(path)) return PackageFile(std::string());

  LX_TRACE("Read \"" << path << "\" package file");
  InputFile in(path);
  std::string name;
  if (!std::getline(in, name)) return PackageFile(std::string());
  // A path is a C string: the name would end at the NUL and name another directory.
  if (name.find('\0') != std::string::npos) {
    LX_THROW("Error reading \"" << path << "\" file: The package name contains a NUL character");
  }
  LX_TRACE("Package name is [" << name << "]");
  return PackageFile(name);
}
