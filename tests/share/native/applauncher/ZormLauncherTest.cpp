#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "share/native/applauncher/LauncherDataSizeLimit.h"
#include "share/native/applauncher/RlxLaunch.h"
#include "share/native/applauncher/ZormLauncher.h"
#include "share/native/common/NewHandlerScope.h"

namespace {

using Block = std::unique_ptr<ZormlLauncherData, void (*)(void*)>;

RlxLaunchData description(const std::string& libPath, std::vector<std::string> args,
                          std::vector<std::string> names = {},
                          std::vector<std::string> values = {}) {
  RlxLaunchData data;
  data.libPath = libPath;
  data.launchArgs = std::move(args);
  data.envNames = std::move(names);
  data.envValues = std::move(values);
  return data;
}

Block createBlock(const RlxLaunchData& data, int* size = nullptr) {
  return Block(
      zormLauncherCreateZormlLauncherData(zormLauncherGetAPI(), new RlxLaunchData(data), size),
      std::free);
}

// The block is read as raw bytes at fixed offsets, so these checks do not
// depend on the header struct they verify.
const char* bytes(const void* block) { return static_cast<const char*>(block); }

std::uintptr_t pointerAt(const void* block, std::size_t offset) {
  std::uintptr_t value;
  std::memcpy(&value, bytes(block) + offset, sizeof value);
  return value;
}

std::int32_t intAt(const void* block, std::size_t offset) {
  std::int32_t value;
  std::memcpy(&value, bytes(block) + offset, sizeof value);
  return value;
}

std::uintptr_t addressOf(const void* block, std::size_t offset) {
  return reinterpret_cast<std::uintptr_t>(block) + offset;
}

// The string that the pointer slot at `offset` points to.
std::string stringAt(const void* block, std::size_t offset) {
  return reinterpret_cast<const char*>(pointerAt(block, offset));
}

// Everything written to file descriptor 2 while `action` runs.
std::string stderrOf(const std::function<void()>& action) {
  std::FILE* const file = std::tmpfile();
  if (!file) throw std::runtime_error("tmpfile failed");
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(fileno(file), STDERR_FILENO);
  action();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::rewind(file);
  std::string text;
  char buffer[256];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);
  return text;
}

// A table of our own around the real one: it counts closes and can replace
// the answers of the size and fill slots.
int closes = 0;
void countingClose(void* handle) {
  ++closes;
  zormLauncherGetAPI()->closeHandle(handle);
}
int realSize(void* handle) { return zormLauncherGetAPI()->getZormlLauncherDataSize(handle); }
int zeroSize(void*) { return 0; }
int negativeSize(void*) { return -1; }
ZormlLauncherData* realFill(void* handle, void* buffer, int size) {
  return zormLauncherGetAPI()->initZormlLauncherData(handle, buffer, size);
}
ZormlLauncherData* refusingFill(void*, void*, int) { return nullptr; }

// What the test entry point saw when it was called last.
struct EntryCall {
  int argCount = -1;
  std::vector<std::string> args;
  std::uintptr_t slotAfterArgs = 1;
  std::vector<const void*> zeros;
  std::vector<std::string> strings;
  std::string envA;
  std::string envB;
  std::new_handler newHandler = nullptr;
};
EntryCall lastCall;
int entryResult = 0;

const char* envOrMissing(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "<missing>";
}

int recordingEntry(int argCount, char** argList, void* zero3, void* zero4, void* zero5, void* zero6,
                   const char* empty7, const char* empty8, const char* vexa9, const char* vexa10,
                   void* zero11, void* zero12, void* zero13, void* zero14) {
  lastCall = EntryCall();
  lastCall.argCount = argCount;
  for (int i = 0; i < argCount; ++i) {
    lastCall.args.push_back(stringAt(argList, static_cast<std::size_t>(i) * 8));
  }
  lastCall.slotAfterArgs = pointerAt(argList, static_cast<std::size_t>(argCount) * 8);
  lastCall.zeros = {zero3, zero4, zero5, zero6, zero11, zero12, zero13, zero14};
  lastCall.strings = {empty7, empty8, vexa9, vexa10};
  lastCall.envA = envOrMissing("LX_START_A");
  lastCall.envB = envOrMissing("LX_START_B");
  lastCall.newHandler = std::get_new_handler();
  return entryResult;
}

class ZormLauncherTest : public ::testing::Test {
 protected:
  void SetUp() override { closes = 0; }
};

}  // namespace

TEST_F(ZormLauncherTest, EmptyDescriptionGivesThe49ByteBlock) {
  int size = 0;
  const Block block = createBlock(RlxLaunchData(), &size);
  ASSERT_NE(nullptr, block);
  const void* b = block.get();
  EXPECT_EQ(49, size);
  EXPECT_EQ(addressOf(b, 40), pointerAt(b, 0));  // libPath
  EXPECT_EQ('\0', bytes(b)[40]);
  EXPECT_EQ(0, intAt(b, 8));                      // argCount
  EXPECT_EQ(0, intAt(b, 12));                     // envCount
  EXPECT_EQ(addressOf(b, 41), pointerAt(b, 16));  // argList
  EXPECT_EQ(0u, pointerAt(b, 41));                // its null slot
  EXPECT_EQ(addressOf(b, 49), pointerAt(b, 24));  // envNameList
  EXPECT_EQ(addressOf(b, 49), pointerAt(b, 32));  // envValueList
}

TEST_F(ZormLauncherTest, PathAndTwoArgumentsGiveThe85ByteBlock) {
  int size = 0;
  const Block block = createBlock(description("/rt/librlx", {"abc", "defgh"}), &size);
  ASSERT_NE(nullptr, block);
  const void* b = block.get();
  EXPECT_EQ(85, size);
  EXPECT_EQ(addressOf(b, 40), pointerAt(b, 0));
  EXPECT_EQ(0, std::memcmp(bytes(b) + 40, "/rt/librlx", 11));
  EXPECT_EQ(2, intAt(b, 8));
  EXPECT_EQ(0, intAt(b, 12));
  EXPECT_EQ(addressOf(b, 51), pointerAt(b, 16));
  EXPECT_EQ(addressOf(b, 75), pointerAt(b, 51));
  EXPECT_EQ(addressOf(b, 79), pointerAt(b, 59));
  EXPECT_EQ(0u, pointerAt(b, 67));
  EXPECT_EQ(0, std::memcmp(bytes(b) + 75, "abc\0defgh", 10));
  EXPECT_EQ(addressOf(b, 85), pointerAt(b, 24));
  EXPECT_EQ(addressOf(b, 85), pointerAt(b, 32));
}

TEST_F(ZormLauncherTest, EnvironmentVariablesFollowTheArguments) {
  // "L" ends at 42; argList 42..58 and "a" to 60; names 60..76 then "N1" and
  // "N2" to 82; values 82..98 then "v1" and "" to 102.
  int size = 0;
  const Block block = createBlock(description("L", {"a"}, {"N1", "N2"}, {"v1", ""}), &size);
  ASSERT_NE(nullptr, block);
  const void* b = block.get();
  EXPECT_EQ(102, size);
  EXPECT_EQ(1, intAt(b, 8));
  EXPECT_EQ(2, intAt(b, 12));
  EXPECT_EQ(addressOf(b, 42), pointerAt(b, 16));
  EXPECT_EQ(addressOf(b, 58), pointerAt(b, 42));
  EXPECT_EQ(0u, pointerAt(b, 50));
  EXPECT_EQ(addressOf(b, 60), pointerAt(b, 24));
  EXPECT_EQ(addressOf(b, 76), pointerAt(b, 60));
  EXPECT_EQ(addressOf(b, 79), pointerAt(b, 68));
  EXPECT_EQ(addressOf(b, 82), pointerAt(b, 32));
  EXPECT_EQ(addressOf(b, 98), pointerAt(b, 82));
  EXPECT_EQ(addressOf(b, 101), pointerAt(b, 90));
  EXPECT_EQ(0, std::memcmp(bytes(b) + 58, "a", 2));
  EXPECT_EQ(0, std::memcmp(bytes(b) + 76, "N1\0N2", 6));
  EXPECT_EQ(0, std::memcmp(bytes(b) + 98, "v1\0", 4));
}

TEST_F(ZormLauncherTest, EachVariableAddsSixteenBytesAndItsStrings) {
  struct Case {
    std::vector<std::string> names;
    std::vector<std::string> values;
    int size;
  };
  const Case cases[] = {
      {{}, {}, 85},
      {{"N"}, {"V"}, 85 + 16 + 2 + 2},
      {{"NAME", "X"}, {"value", ""}, 85 + 32 + 5 + 2 + 6 + 1},
  };
  for (const Case& c : cases) {
    const RlxLaunchData data = description("/rt/librlx", {"abc", "defgh"}, c.names, c.values);
    int size = 0;
    const Block block = createBlock(data, &size);
    ASSERT_NE(nullptr, block) << c.names.size();
    EXPECT_EQ(c.size, size) << c.names.size();
    EXPECT_EQ(c.size, data.initZormlLauncherData(nullptr)) << c.names.size();
    for (std::size_t i = 0; i < c.names.size(); ++i) {
      EXPECT_EQ(c.names[i], stringAt(block->envNameList, i * 8));
      EXPECT_EQ(c.values[i], stringAt(block->envValueList, i * 8));
    }
  }
}

TEST_F(ZormLauncherTest, FillsOnlyABufferThatIsLargeEnough) {
  const unsigned char pattern = 0xA5;
  struct Case {
    int bufferSize;
    bool filled;
  };
  const Case cases[] = {{84, false}, {85, true}, {100, true}};
  for (const Case& c : cases) {
    RlxLaunchData data = description("/rt/librlx", {"abc", "defgh"});
    std::vector<unsigned char> buffer(120, pattern);
    ZormlLauncherData* const result =
        zormLauncherGetAPI()->initZormlLauncherData(&data, buffer.data(), c.bufferSize);
    const std::size_t untouchedFrom = c.filled ? 85 : 0;
    if (c.filled) {
      EXPECT_EQ(static_cast<void*>(buffer.data()), result) << c.bufferSize;
      EXPECT_EQ(addressOf(buffer.data(), 79), pointerAt(buffer.data(), 59)) << c.bufferSize;
    } else {
      EXPECT_EQ(nullptr, result) << c.bufferSize;
    }
    for (std::size_t i = untouchedFrom; i < buffer.size(); ++i) {
      ASSERT_EQ(pattern, buffer[i]) << c.bufferSize << " at " << i;
    }
  }
}

TEST_F(ZormLauncherTest, CreateAlwaysClosesTheHandleAndReportsTheSizeOnlyOnSuccess) {
  struct Case {
    const char* name;
    LauncherDataApi table;
    bool made;
  };
  const Case cases[] = {
      {"real table", {countingClose, realSize, realFill}, true},
      {"size zero", {countingClose, zeroSize, realFill}, false},
      {"size negative", {countingClose, negativeSize, realFill}, false},
      {"fill fails", {countingClose, realSize, refusingFill}, false},
  };
  for (const Case& c : cases) {
    closes = 0;
    int size = -7;
    const Block block(zormLauncherCreateZormlLauncherData(&c.table, new RlxLaunchData(), &size),
                      std::free);
    EXPECT_EQ(c.made, block != nullptr) << c.name;
    EXPECT_EQ(c.made ? 49 : -7, size) << c.name;
    EXPECT_EQ(1, closes) << c.name;
  }

  const LauncherDataApi counting = {countingClose, realSize, realFill};
  closes = 0;
  int size = -7;
  EXPECT_EQ(nullptr, zormLauncherCreateZormlLauncherData(&counting, nullptr, &size));
  EXPECT_EQ(-7, size);
  EXPECT_EQ(0, closes);
  // Without a size out-parameter the block is made all the same.
  const Block block(zormLauncherCreateZormlLauncherData(&counting, new RlxLaunchData(), nullptr),
                    std::free);
  EXPECT_NE(nullptr, block);
  EXPECT_EQ(1, closes);
}

TEST_F(ZormLauncherTest, RefusesABlockLargerThanTheLimit) {
  RecordingAppender records;
  const LauncherDataApi counting = {countingClose, realSize, realFill};
  std::optional<LauncherDataSizeLimit> limit(std::in_place, 48);
  int size = -7;
  EXPECT_EQ(nullptr, zormLauncherCreateZormlLauncherData(&counting, new RlxLaunchData(), &size));
  EXPECT_EQ(-7, size);
  EXPECT_EQ(1, closes);
  ASSERT_FALSE(records.events.empty());
  const LogEvent& error = records.events.back();
  EXPECT_EQ("ERROR", error.logLevel);
  EXPECT_EQ("ZormLauncher", error.fileName);
  EXPECT_EQ("getZormlLauncherDataSize", error.funcName);
  EXPECT_NE(std::string::npos,
            error.message.find("ZormlLauncherData needs 49 bytes, more than the limit of 48"))
      << error.message;

  RlxLaunchData data;
  std::vector<unsigned char> buffer(64);
  EXPECT_EQ(nullptr, zormLauncherGetAPI()->initZormlLauncherData(&data, buffer.data(), 64));
  EXPECT_EQ("initZormlLauncherData", records.events.back().funcName);

  limit.emplace(49);
  EXPECT_NE(nullptr, createBlock(data, &size));
  EXPECT_EQ(49, size);
}

TEST_F(ZormLauncherTest, WalkTracesNeedAndInitialized) {
  RecordingAppender records;
  const RlxLaunchData data = description("/rt/librlx", {"abc", "defgh"});
  std::vector<unsigned char> buffer(85);
  auto* const record = reinterpret_cast<ZormlLauncherData*>(buffer.data());
  EXPECT_EQ(85, data.initZormlLauncherData(nullptr));
  EXPECT_EQ(85, data.initZormlLauncherData(record));
  std::ostringstream address;
  address << static_cast<const void*>(record);
  ASSERT_EQ(2u, records.events.size());
  EXPECT_EQ("Need 85 bytes for ZormlLauncherData buffer", records.events[0].message);
  EXPECT_EQ("Initialized 85 bytes at " + address.str() + " address", records.events[1].message);
  for (const LogEvent& event : records.events) {
    EXPECT_EQ("TRACE", event.logLevel);
    EXPECT_EQ("ZormLauncher", event.fileName);
    EXPECT_EQ("initZormlLauncherData", event.funcName);
  }
}

void launcherNewHandler() {}

TEST_F(ZormLauncherTest, StartSetsTheEnvironmentThenCallsTheEntryPoint) {
  // The runtime runs with the C++ runtime's own handler; the launcher's returns after.
  const NewHandlerScope handler(launcherNewHandler);
  for (const int result : {0, 7}) {
    ScopedEnv a("LX_START_A");
    ScopedEnv b("LX_START_B");
    const Block block = createBlock(
        description("/rt/librlx", {"abc", "defgh"}, {"LX_START_A", "LX_START_B"}, {"1", "two"}));
    ASSERT_NE(nullptr, block);
    entryResult = result;
    EXPECT_EQ(result, zormLauncherStartZorm(block.get(), reinterpret_cast<void*>(&recordingEntry)));
    EXPECT_EQ(2, lastCall.argCount);
    EXPECT_EQ((std::vector<std::string>{"abc", "defgh"}), lastCall.args);
    EXPECT_EQ(0u, lastCall.slotAfterArgs);
    EXPECT_EQ(std::vector<const void*>(8, nullptr), lastCall.zeros);
    EXPECT_EQ((std::vector<std::string>{"", "", "vexa", "vexa"}), lastCall.strings);
    EXPECT_EQ("1", lastCall.envA);
    EXPECT_EQ("two", lastCall.envB);
    EXPECT_EQ(nullptr, lastCall.newHandler);
    EXPECT_EQ(&launcherNewHandler, std::get_new_handler());
  }
}

TEST_F(ZormLauncherTest, StartLogsEveryStepAndGoesOnAfterAFailedSetenv) {
  ScopedEnv debug("KELPAK_DEBUG", "true");
  ScopedEnv b("LX_START_B");
  const Block block = createBlock(
      description("/rt/librlx", {"abc", "defgh"}, {"LX_BAD=NAME", "LX_START_B"}, {"x", "two"}));
  ASSERT_NE(nullptr, block);
  entryResult = 0;
  int result = -1;
  const std::string text = stderrOf([&] {
    result = zormLauncherStartZorm(block.get(), reinterpret_cast<void*>(&recordingEntry));
  });
  EXPECT_EQ(0, result);
  EXPECT_EQ(
      "rlx lib: [/rt/librlx]\n"
      "rlx arg[0]: [abc]\n"
      "rlx arg[1]: [defgh]\n"
      "env var[0]: LX_BAD=NAME=[x]\n"
      "env var[1]: LX_START_B=[two]\n"
      "setenv(0) failed\n",
      text);
  EXPECT_EQ("two", lastCall.envB);
}

TEST_F(ZormLauncherTest, LogWritesOnlyWhenDebugIsExactlyTrue) {
  struct Case {
    const char* value;  // null: unset
    const char* expected;
  };
  const Case cases[] = {{nullptr, ""}, {"", ""},  {"TRUE", ""},
                        {"true ", ""}, {"1", ""}, {"true", "rlx arg[3]: [x]\nplain\n"}};
  for (const Case& c : cases) {
    std::unique_ptr<ScopedEnv> debug(c.value ? new ScopedEnv("KELPAK_DEBUG", c.value)
                                             : new ScopedEnv("KELPAK_DEBUG"));
    const std::string text = stderrOf([] {
      zormLauncherLog("rlx arg[%d]: [%s]", 3, "x");
      zormLauncherLog("plain");
    });
    EXPECT_EQ(c.expected, text) << (c.value ? c.value : "<unset>");
  }
}

TEST_F(ZormLauncherTest, LogReadsTheVariableOnEveryCall) {
  ScopedEnv debug("KELPAK_DEBUG", "true");
  const std::string text = stderrOf([] {
    zormLauncherLog("first");
    setenv("KELPAK_DEBUG", "false", 1);
    zormLauncherLog("second");
    setenv("KELPAK_DEBUG", "true", 1);
    zormLauncherLog("third");
  });
  EXPECT_EQ("first\nthird\n", text);
}
