// The package descriptor ".package" of an application directory: an optional
// one-line text file naming the installed package. A non-empty name turns on
// the per-user configuration directory.
#ifndef LX_SHARE_APPLAUNCHER_PACKAGEFILE_H
#define LX_SHARE_APPLAUNCHER_PACKAGEFILE_H

#include <string>

class PackageFile {
 public:
  explicit PackageFile(const std::string& packageName) : packageName(packageName) {}

  // The first line of the descriptor, byte for byte (a carriage return
  // included); empty when there is no descriptor or it is empty.
  const std::string& getPackageName() const { return packageName; }

  // Reads "<appDir>/.package". Throws when it exists but cannot be opened or
  // is no regular file, and when the name holds a NUL byte.
  static PackageFile loadFromAppDir(const std::string& appDir);

 private:
  std::string packageName;
};

#endif
