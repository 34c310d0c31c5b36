#include "ZormLauncher.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "CfgFile.h"
#include "CfgProperty.h"
#include "LauncherDataSizeLimit.h"
#include "RlxLaunch.h"
#include "share/native/common/Dll.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/Log.h"
#include "share/native/common/NewHandlerScope.h"
#include "share/native/common/NoSigpipeScope.h"
#include "share/native/common/SysInfo.h"
#include "share/native/common/tstrings.h"

namespace {

// Sizes travel as int, so a larger block could not even be described; only
// a LauncherDataSizeLimit lowers it.
int sizeLimit = INT_MAX;

// The block's pointer slots are not aligned, so they are copied byte-wise:
// assigning through a char** there would be undefined behaviour.
void writeSlot(char* slot, const char* value) { std::memcpy(slot, &value, sizeof value); }

char* readSlot(char** list, int index) {
  char* value;
  std::memcpy(&value, reinterpret_cast<const char*>(list) + index * sizeof value, sizeof value);
  return value;
}

// The cursor of the walk that both sizes and packs a block: without a record
// it only counts. Counting in 64 bits cannot overflow for strings that fit in
// memory, so the size is exact even when it is far beyond an int.
class BlockCursor {
 public:
  explicit BlockCursor(ZormlLauncherData* record)
      : base(reinterpret_cast<char*>(record)), offset(sizeof(ZormlLauncherData)) {}

  std::uint64_t size() const { return offset; }

  // Copies the text and its NUL at the cursor; returns where it went.
  char* putString(const std::string& text) {
    char* const where = here();
    if (where) std::memcpy(where, text.c_str(), text.size() + 1);
    offset += text.size() + 1;
    return where;
  }

  // An array of `slots` pointers, then the items it points to; the slots
  // past the last item stay null.
  char** putList(const std::vector<std::string>& items, std::size_t slots) {
    char* const array = here();
    offset += slots * sizeof(char*);
    for (std::size_t i = 0; i < slots; ++i) {
      char* const text = i < items.size() ? putString(items[i]) : nullptr;
      if (array) writeSlot(array + i * sizeof(char*), text);
    }
    return reinterpret_cast<char**>(array);
  }

 private:
  char* here() const { return base ? base + offset : nullptr; }

  char* const base;
  std::uint64_t offset;
};

void closeHandle(void* handle) { delete static_cast<RlxLaunchData*>(handle); }

int getZormlLauncherDataSize(void* handle) {
  try {
    return static_cast<const RlxLaunchData*>(handle)->initZormlLauncherData(nullptr);
  } catch (const std::runtime_error& e) {
    reportError(LX_SOURCE_POS, e);
  } catch (...) {
    reportUnknownError(LX_SOURCE_POS);
  }
  return -1;
}

ZormlLauncherData* initZormlLauncherData(void* handle, void* buffer, int bufferSize) {
  try {
    const RlxLaunchData& data = *static_cast<const RlxLaunchData*>(handle);
    if (data.initZormlLauncherData(nullptr) > bufferSize) return nullptr;
    ZormlLauncherData* const record = static_cast<ZormlLauncherData*>(buffer);
    data.initZormlLauncherData(record);
    return record;
  } catch (const std::runtime_error& e) {
    reportError(LX_SOURCE_POS, e);
  } catch (...) {
    reportUnknownError(LX_SOURCE_POS);
  }
  return nullptr;
}

const LauncherDataApi api = {closeHandle, getZormlLauncherDataSize, initZormlLauncherData};

}  // namespace

int RlxLaunchData::initZormlLauncherData(ZormlLauncherData* record) const {
  BlockCursor cursor(record);
  char* const path = cursor.putString(libPath);
  char** const args = cursor.putList(launchArgs, launchArgs.size() + 1);
  char** const names = cursor.putList(envNames, envNames.size());
  char** const values = cursor.putList(envValues, envValues.size());
  if (cursor.size() > static_cast<std::uint64_t>(sizeLimit)) {
    LX_THROW("ZormlLauncherData needs " << cursor.size() << " bytes, more than the limit of "
                                        << sizeLimit);
  }
  const int size = static_cast<int>(cursor.size());
  if (record) {
    record->libPath = path;
    record->argCount = static_cast<int>(launchArgs.size());
    record->argList = args;
    record->envCount = static_cast<int>(envNames.size());
    record->envNameList = names;
    record->envValueList = values;
    LX_TRACE("Initialized " << size << " bytes at " << static_cast<const void*>(record)
                            << " address");
  } else {
    LX_TRACE("Need " << size << " bytes for ZormlLauncherData buffer");
  }
  return size;
}

LauncherDataSizeLimit::LauncherDataSizeLimit(int limit) : previous(sizeLimit) { sizeLimit = limit; }

LauncherDataSizeLimit::~LauncherDataSizeLimit() { sizeLimit = previous; }

const LauncherDataApi* zormLauncherGetAPI() { return &api; }

ZormlLauncherData* zormLauncherCreateZormlLauncherData(const LauncherDataApi* table, void* handle,
                                                       int* size) {
  if (!handle) return nullptr;
  ZormlLauncherData* result = nullptr;
  const int needed = table->getZormlLauncherDataSize(handle);
  if (needed > 0) {
    void* const buffer = std::malloc(static_cast<std::size_t>(needed));
    if (!buffer) {
      // strerror, not lastCRTError: nothing here may allocate or throw.
      zormLauncherLog("%s", std::strerror(errno));
    } else {
      result = table->initZormlLauncherData(handle, buffer, needed);
      if (!result) {
        std::free(buffer);
      } else if (size) {
        *size = needed;
      }
    }
  }
  table->closeHandle(handle);
  return result;
}

int zormLauncherStartZorm(ZormlLauncherData* data, void* entryPoint) {
  zormLauncherLog("rlx lib: [%s]", data->libPath);
  for (int i = 0; i < data->argCount; ++i) {
    zormLauncherLog("rlx arg[%d]: [%s]", i, readSlot(data->argList, i));
  }
  for (int i = 0; i < data->envCount; ++i) {
    zormLauncherLog("env var[%d]: %s=[%s]", i, readSlot(data->envNameList, i),
                    readSlot(data->envValueList, i));
  }
  for (int i = 0; i < data->envCount; ++i) {
    if (setenv(readSlot(data->envNameList, i), readSlot(data->envValueList, i), 1) != 0) {
      zormLauncherLog("setenv(%d) failed", i);
    }
  }
  const RlxLaunchFunc launch = reinterpret_cast<RlxLaunchFunc>(entryPoint);
  // The run frame's out-of-memory exit covers the launcher's own code only:
  // the runtime's allocations fail as the C++ runtime makes them fail, where
  // it shares the launcher's C++ runtime too.
  const NewHandlerScope runtimeHandler(nullptr);
  return launch(data->argCount, data->argList, nullptr, nullptr, nullptr, nullptr, "", "", "vexa",
                "vexa", nullptr, nullptr, nullptr, nullptr);
}

void zormLauncherLog(const char* format, ...) {
  const char* const debug = std::getenv("KELPAK_DEBUG");
  if (!debug || std::strcmp(debug, "true") != 0) return;
  const NoSigpipeScope noSigpipe;
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

namespace {

struct FreeDeleter {
  void operator()(void* block) const { free(block); }
};

}  // namespace

Zorm::Zorm() { LX_TRACE("Zorm(" << static_cast<const void*>(this) << ")::Zorm()"); }

Zorm::~Zorm() { LX_TRACE("Zorm(" << static_cast<const void*>(this) << ")::~Zorm()"); }

Zorm& Zorm::setLibPath(const std::string& path) {
  launchData.libPath = path;
  return *this;
}

Zorm& Zorm::addLaunchArg(const std::string& value) {
  launchData.launchArgs.push_back(value);
  return *this;
}

Zorm& Zorm::addEnvVariable(const std::string& name, const std::string& value) {
  launchData.envNames.push_back(name);
  launchData.envValues.push_back(value);
  return *this;
}

Zorm& Zorm::initFromConfigFile(const CfgFile& cfg) {
  return initFromConfigFile(cfg, SysInfo::getProcessModulePath());
}

Zorm& Zorm::initFromConfigFile(const CfgFile& cfg, const std::string& launcherPath) {
  if (const CfgFile::Property* modulePath = CfgProperties::modulepath.find(cfg)) {
    for (const std::string& value : modulePath->second) {
      launchData.launchArgs.push_back("--module-path");
      launchData.launchArgs.push_back(value);
    }
  }
  if (const CfgFile::Property* classPath = CfgProperties::classpath.find(cfg)) {
    launchData.launchArgs.push_back("-classpath");
    launchData.launchArgs.push_back(CfgFile::asPathList(*classPath));
  }
  if (const CfgFile::Property* splash = CfgProperties::splash.find(cfg)) {
    const std::string splashPath = CfgFile::asString(*splash);
    if (FileUtils::isFileExists(splashPath)) {
      launchData.launchArgs.push_back("-splash:" + splashPath);
    } else {
      LX_WARNING("Splash property ignored. File \"" << splashPath << "\" not found");
    }
  }
  if (const CfgFile::Property* vexaOptions = CfgProperties::vexaOptions.find(cfg)) {
    launchData.launchArgs.insert(launchData.launchArgs.end(), vexaOptions->second.begin(),
                                 vexaOptions->second.end());
  }
  launchData.launchArgs.push_back("-Dkelpak.app-path=" + launcherPath);
  if (const CfgFile::Property* mainModule = CfgProperties::mainmodule.find(cfg)) {
    launchData.launchArgs.push_back("-m");
    launchData.launchArgs.push_back(CfgFile::asString(*mainModule));
  }
  if (const CfgFile::Property* mainClass = CfgProperties::mainclass.find(cfg)) {
    launchData.launchArgs.push_back(CfgFile::asString(*mainClass));
  }
  if (const CfgFile::Property* mainZep = CfgProperties::mainzep.find(cfg)) {
    launchData.launchArgs.push_back("-zep");
    launchData.launchArgs.push_back(CfgFile::asString(*mainZep));
  }
  if (const CfgFile::Property* arguments = CfgProperties::arguments.find(cfg)) {
    launchData.launchArgs.insert(launchData.launchArgs.end(), arguments->second.begin(),
                                 arguments->second.end());
  }
  return *this;
}

bool Zorm::isWithSplash() const {
  for (const std::string& arg : launchData.launchArgs) {
    if (tstrings::startsWith(arg, "-splash:", tstrings::CaseSensitive)) return true;
  }
  return false;
}

void Zorm::setEnvVariables() const {
  for (std::size_t i = 0; i < launchData.envNames.size(); ++i) {
    SysInfo::setEnvVariable(launchData.envNames.at(i), launchData.envValues.at(i));
  }
}

void* Zorm::exportLauncher() const { return new RlxLaunchData(launchData); }

namespace {

// The library's entry point. The Dll made here is released on return; the
// DllFunction keeps its own reference, so the library stays loaded.
DllFunction<void*> findEntryPoint(const std::string& libPath) {
  const Dll library(libPath);
  return DllFunction<void*>(library, "RLX_Launch");
}

}  // namespace

void Zorm::launch() const {
  const std::unique_ptr<ZormlLauncherData, FreeDeleter> data(
      zormLauncherCreateZormlLauncherData(zormLauncherGetAPI(), exportLauncher(), nullptr));
  if (!data) LX_THROW("Failed to prepare the launch data of ZORM");
  LX_TRACE("ZORM library: \"" << launchData.libPath << "\"");
  const DllFunction<void*> entryPoint = findEntryPoint(launchData.libPath);
  if (zormLauncherStartZorm(data.get(), static_cast<void*>(entryPoint)) != 0) {
    LX_THROW("Failed to launch ZORM");
  }
}
