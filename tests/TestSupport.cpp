#include "TestSupport.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <vector>

namespace {

int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

std::string currentDir() {
  std::vector<char> buffer(4096);
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) throw std::runtime_error("getcwd failed");
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

}  // namespace

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/lxtest.XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp: " + std::string(strerror(errno)));
  dir = buffer.data();
}

TempDir::~TempDir() {
  // Make everything removable first: tests take permissions away on purpose.
  nftw(
      dir.c_str(),
      [](const char* path, const struct stat* info, int, struct FTW*) {
        if (S_ISDIR(info->st_mode)) chmod(path, 0700);
        return 0;
      },
      16, FTW_PHYS);
  nftw(dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void makeDirs(const std::string& path) {
  for (std::string::size_type pos = 1; pos != std::string::npos;) {
    pos = path.find('/', pos + 1);
    const std::string part = path.substr(0, pos);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      throw std::runtime_error("mkdir(" + part + "): " + strerror(errno));
    }
  }
}

void writeFile(const std::string& path, const std::string& content) {
  const std::string::size_type slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) makeDirs(path.substr(0, slash));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : ScopedEnv(name) {
  setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::ScopedEnv(const std::string& name) : name(name) {
  const char* value = getenv(name.c_str());
  wasSet = value != nullptr;
  if (wasSet) oldValue = value;
  unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (wasSet) {
    setenv(name.c_str(), oldValue.c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
}

ScopedCwd::ScopedCwd(const std::string& dir) : saved(currentDir()) {
  if (chdir(dir.c_str()) != 0) throw std::runtime_error("chdir(" + dir + ")");
}

ScopedCwd::~ScopedCwd() {
  if (chdir(saved.c_str()) != 0) std::abort();
}

CapturedStream::CapturedStream(std::ostream& stream)
    : stream(stream), saved(stream.rdbuf(buffer.rdbuf())) {}

CapturedStream::~CapturedStream() { stream.rdbuf(saved); }
