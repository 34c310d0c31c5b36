#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"

namespace FileUtils {

std::string resolveDotComponents(const std::string& path) {
  // Nearly every start has no "..": it costs one search.
  if (path.find("..") == std::string::npos) return removeDotComponents(path);
  // The end of the last ".." component, if any.
  std::string::size_type lastDotDot = std::string::npos;
  for (std::string::size_type start = 0; start <= path.size();) {
    std::string::size_type end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) lastDotDot = end;
    start = end + 1;
  }
  if (lastDotDot == std::string::npos) return removeDotComponents(path);
  const std::string prefix = path.substr(0, lastDotDot);
  std::unique_ptr<char, decltype(&std::free)> real(realpath(prefix.c_str(), nullptr), std::free);
  if (!real) LX_THROW_SYSTEM_ERROR("realpath(" << prefix << ") failed. Error: ");
  return removeDotComponents(real.get() + path.substr(lastDotDot));
}

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
