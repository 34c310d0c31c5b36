#include <cstdlib>

#include "share/native/common/ErrorHandling.h"
#include "share/native/common/SysInfo.h"

namespace SysInfo {

std::string getEnvVariable(const std::string& name) {
  const char* value = getenv(name.c_str());
  if (!value) {
    LX_THROW("getenv(" << name << ") failed. Variable not set");
  }
  return value;
}

std::string getEnvVariable(const std::nothrow_t&, const std::string& name,
                           const std::string& defValue) {
  const char* value = getenv(name.c_str());
  return value ? std::string(value) : defValue;
}

bool isEnvVariableSet(const std::string& name) { return getenv(name.c_str()) != nullptr; }

void setEnvVariable(const std::string& name, const std::string& value) {
  if (setenv(name.c_str(), value.c_str(), 1) != 0) {
    LX_THROW_SYSTEM_ERROR("setenv(" << name << ", " << value << ") failed. Error: ");
  }
}

}  // namespace SysInfo
