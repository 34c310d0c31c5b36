// The launch description Zorm and the launcher data interface: plain data and
// plain functions between a launch description and the runtime launcher library. A description
// travels as an opaque handle (a heap RlxLaunchData) and is packed into one self-contained
// ZormlLauncherData block, which the caller releases with free(). Nothing here
// throws across the interface or keeps state beyond the constant table.
#ifndef LX_SHARE_APPLAUNCHER_ZORMLAUNCHER_H
#define LX_SHARE_APPLAUNCHER_ZORMLAUNCHER_H

#include <cstddef>
#include <string>
#include <vector>

class CfgFile;

// The block's 40-byte header. The body follows it directly with no padding:
// the library path, argCount + 1 argument slots (the last null) and the
// arguments, one slot per name and the names, one slot per value and the
// values. Every string ends with a NUL and every pointer points into the
// block; the body's pointer slots are not aligned.
struct ZormlLauncherData {
  char* libPath;
  int argCount;
  int envCount;
  char** argList;
  char** envNameList;
  char** envValueList;
};

static_assert(offsetof(ZormlLauncherData, libPath) == 0, "ZormlLauncherData layout");
static_assert(offsetof(ZormlLauncherData, argCount) == 8, "ZormlLauncherData layout");
static_assert(offsetof(ZormlLauncherData, envCount) == 12, "ZormlLauncherData layout");
static_assert(offsetof(ZormlLauncherData, argList) == 16, "ZormlLauncherData layout");
static_assert(offsetof(ZormlLauncherData, envNameList) == 24, "ZormlLauncherData layout");
static_assert(offsetof(ZormlLauncherData, envValueList) == 32, "ZormlLauncherData layout");
static_assert(sizeof(ZormlLauncherData) == 40, "ZormlLauncherData layout");

// What a launcher handle points to: a copy of a launch description.
// envValues runs parallel to envNames.
class RlxLaunchData {
 public:
  std::string libPath;
  std::vector<std::string> launchArgs;
  std::vector<std::string> envNames;
  std::vector<std::string> envValues;

  // With a null record returns the block size; otherwise packs the block at
  // `record`, which must be aligned as malloc() aligns and hold that many
  // bytes, and returns the size. Size and packing are one walk, so they agree.
  // Throws when the block would be larger than the size limit (INT_MAX).
  int initZormlLauncherData(ZormlLauncherData* record) const;
};

// Slot 0 destroys the RlxLaunchData behind a handle (null does nothing).
// Slot 1 gives the block size for a handle, or -1 after a reported error.
// Slot 2 packs the block into a buffer of the given size and returns it, or
// gives null when the buffer is too small or after a reported error.
struct LauncherDataApi {
  void (*closeHandle)(void* handle);
  int (*getZormlLauncherDataSize)(void* handle);
  ZormlLauncherData* (*initZormlLauncherData)(void* handle, void* buffer, int bufferSize);
};

// One start of the managed runtime: the runtime launcher library to load, the
// complete argument list handed to its entry point, and the environment
// variables set just before the call. launch() only reads the object, so the
// same description can be launched again (a second entry of main does).
class Zorm {
 public:
  Zorm();
  ~Zorm();
  Zorm(const Zorm&) = delete;
  Zorm& operator=(const Zorm&) = delete;

  Zorm& setLibPath(const std::string& path);
  Zorm& addLaunchArg(const std::string& value);
  // Appends the arguments the configuration asks for, after those already
  // there; `launcherPath` goes into the app-path property, this process's
  // executable when not given.
  Zorm& initFromConfigFile(const CfgFile& cfg);
  Zorm& initFromConfigFile(const CfgFile& cfg, const std::string& launcherPath);
  Zorm& addEnvVariable(const std::string& name, const std::string& value);

  // True when some argument starts with "-splash:".
  bool isWithSplash() const;
  // Sets every recorded variable in this process, in the order added.
  void setEnvVariables() const;
  // A new RlxLaunchData copy of the description, owned by the caller.
  void* exportLauncher() const;

  // Loads the runtime launcher library and calls its entry point with the
  // description; throws on every failure and when the entry point fails.
  void launch() const;

 private:
  RlxLaunchData launchData;
};

extern "C" {

// The process-wide table, which never changes.
const LauncherDataApi* zormLauncherGetAPI();

// Builds a block from `handle` through `table` in memory from malloc(), and
// always closes a non-null handle. Returns null, leaving `size` alone, when
// the handle is null, the size is not positive, memory runs out or packing
// fails; otherwise stores the block size in `size` when it is not null.
ZormlLauncherData* zormLauncherCreateZormlLauncherData(const LauncherDataApi* table, void* handle,
                                                       int* size);

// Logs the block, sets its environment variables and calls `entryPoint`, an
// RlxLaunchFunc, with its arguments. Returns the entry point's result.
int zormLauncherStartZorm(ZormlLauncherData* data, void* entryPoint);

// printf-style; writes one line to stderr only while "KELPAK_DEBUG" is "true".
void zormLauncherLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // extern "C"

#endif
