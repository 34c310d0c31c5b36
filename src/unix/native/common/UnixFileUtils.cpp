#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"

namespace FileUtils {

bool isFileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

bool isMissing(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

std::string toAbsolutePath(const std::string& path) {
  if (path.empty()) {
    // Grown until the working directory fits, however deep it is.
    std::string buffer(1024, '\0');
    while (!getcwd(&buffer[0], buffer.size())) {
      if (errno != ERANGE) LX_THROW_SYSTEM_ERROR("getcwd() failed. Error: ");
      buffer.assign(buffer.size() * 2, '\0');
    }
    buffer.resize(std::strlen(buffer.c_str()));
    if (buffer.empty()) {
      LX_THROW("getcwd() returned empty string");
    }
    return buffer;
  }
  if (isDirSeparator(path[0])) return path;
  return combinePath(toAbsolutePath(std::string()), path);
}

std::string stripExeSuffix(const std::string& path) { return path; }

}  // namespace FileUtils
