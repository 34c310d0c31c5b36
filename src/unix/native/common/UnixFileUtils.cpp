#include <sys/stat.h>
#include <unistd.h>

#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"

namespace FileUtils {

bool isFileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string toAbsolutePath(const std::string& path) {
  if (path.empty()) {
    char buffer[1024] = {};
    if (!getcwd(buffer, sizeof(buffer))) {
      LX_THROW_SYSTEM_ERROR("getcwd() failed. Error: ");
    }
    if (buffer[0] == '\0') {
      LX_THROW("getcwd() returned empty string");
    }
    return buffer;
  }
  if (isDirSeparator(path[0])) return path;
  return combinePath(toAbsolutePath(std::string()), path);
}

std::string stripExeSuffix(const std::string& path) { return path; }

}  // namespace FileUtils
