// The executable's path and the command line. On macOS _NSGetExecutablePath
// comes from the system; elsewhere a stand-in with the same contract is linked.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "macosx/native/common/ExecutablePath.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/SysInfo.h"
#include "share/native/common/tstrings.h"

namespace {

// No kernel starts a program through more links: Linux stops at 40, macOS at 32.
const int kMaxLinks = 40;

// True with the target as stored when `name` is a symbolic link; false when
// it is something else. Throws when it does not exist.
bool readLink(const std::string& name, std::string& target) {
  struct stat info;
  if (lstat(name.c_str(), &info) != 0) {
    LX_THROW_SYSTEM_ERROR("lstat(" << name << ") failed. Error: ");
  }
  if (!S_ISLNK(info.st_mode)) return false;

  // readlink cuts a target that fills the buffer without saying so; only a
  // shorter result is known to be whole.
  std::vector<char> buffer(1024);
  for (;;) {
    const ssize_t length = readlink(name.c_str(), buffer.data(), buffer.size());
    if (length < 0) {
      LX_THROW_SYSTEM_ERROR("readlink(" << name << ") failed. Error: ");
    }
    if (static_cast<size_t>(length) < buffer.size()) {
      target.assign(buffer.data(), length);
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

namespace SysInfo {

int argc = 0;
char** argv = nullptr;

std::string getProcessModulePath() {
  // The first call, with no room at all, only learns the size the path needs.
  std::vector<char> buffer;
  uint32_t size = 0;
  for (;;) {
    const int result = _NSGetExecutablePath(buffer.data(), &size);
    if (result == 0) break;
    if (result > 0) {
      LX_THROW("_NSGetExecutablePath() failed");
    }
    buffer.resize(size);
  }
  // The size asked for may exceed the path; the path ends at its NUL.
  buffer.resize(std::strlen(buffer.data()) + 1);
  return getExecutablePath(buffer);
}

std::string getExecutablePath(const std::vector<char>& buffer) {
  // Links are followed as the kernel followed them to start the program:
  // to the end, a relative target counting from its own link's directory.
  std::string path = buffer.empty() ? std::string() : buffer.data();
  for (int followed = 0;; ++followed) {
    std::string target;
    if (!readLink(path, target)) break;
    if (followed == kMaxLinks) {
      LX_THROW("readlink(" << path << ") failed. Error: " << std::strerror(ELOOP));
    }
    const bool relative = target.empty() || target[0] != '/';
    path = relative ? path.substr(0, path.rfind('/') + 1) + target : target;
  }
  // Without "." and "..", the bundle is the one that holds the executable,
  // however it was started.
  return FileUtils::resolveDotComponents(FileUtils::toAbsolutePath(path));
}

std::string getRealPath(const std::vector<char>& path) {
  // An empty vector lacks even the NUL; it stands for the empty path.
  const std::string name = path.empty() ? std::string() : std::string(path.begin(), path.end() - 1);
  std::string target;
  return readLink(name, target) ? target : name;
}

std::vector<std::string> getCommandArgs(const std::vector<std::string>& commandLine,
                                        CommandArgProgramNameMode mode) {
  std::vector<std::string> args;
  for (std::size_t i = mode == ExcludeProgramName ? 1 : 0; i < commandLine.size(); ++i) {
    const std::string& arg = commandLine[i];
    if (!tstrings::startsWith(arg, "-psn_", tstrings::CaseSensitive)) args.push_back(arg);
  }
  return args;
}

std::vector<std::string> getCommandArgs(CommandArgProgramNameMode mode) {
  return getCommandArgs(std::vector<std::string>(argv, argv + argc), mode);
}

}  // namespace SysInfo
