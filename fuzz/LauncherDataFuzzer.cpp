// libFuzzer target: a launch description decoded from the input is packed
// through the launcher data table, and every packed block is checked field by
// field against the layout the runtime library reads: the counts, each pointer
// at its exact place inside the block, each string byte for byte with its NUL,
// the null slot after the arguments, and the size as the sum of the pieces.
//
// Input: byte 0, 1 and 2 give the number of arguments, variable names and
// values; byte 3, when not 0, sets the block size limit to the block's size
// + 128 - byte 3. The rest, split at NUL bytes, gives the library path, then
// the arguments, names and values in order; missing strings are empty.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "share/native/applauncher/LauncherDataSizeLimit.h"
#include "share/native/applauncher/ZormLauncher.h"
#include "share/native/common/Log.h"

namespace {

class NullAppender : public LogAppender {
 public:
  void append(const LogEvent&) override {}
};

void check(bool condition) {
  if (!condition) std::abort();
}

struct Input {
  RlxLaunchData description;
  unsigned limitControl = 0;
};

Input decode(const uint8_t* data, size_t size) {
  const auto byte = [&](size_t i) { return i < size ? data[i] : 0u; };
  std::vector<std::string> strings(1);
  for (size_t i = 4; i < size; ++i) {
    if (data[i] == 0) {
      strings.emplace_back();
    } else {
      strings.back() += static_cast<char>(data[i]);
    }
  }
  size_t next = 0;
  const auto take = [&]() { return next < strings.size() ? strings[next++] : std::string(); };
  const auto takeList = [&](unsigned count) {
    std::vector<std::string> list;
    for (unsigned i = 0; i < count; ++i) list.push_back(take());
    return list;
  };

  Input input;
  input.description.libPath = take();
  input.description.launchArgs = takeList(byte(0));
  input.description.envNames = takeList(byte(1));
  input.description.envValues = takeList(byte(2));
  input.limitControl = byte(3);
  return input;
}

// The block size: the header, then each string with its NUL and 8 bytes for
// each pointer slot, one more slot for the null after the arguments.
size_t expectedSize(const RlxLaunchData& d) {
  size_t size = sizeof(ZormlLauncherData) + d.libPath.size() + 1;
  size += 8 * (d.launchArgs.size() + 1 + d.envNames.size() + d.envValues.size());
  for (const auto* list : {&d.launchArgs, &d.envNames, &d.envValues}) {
    for (const std::string& item : *list) size += item.size() + 1;
  }
  return size;
}

// Walks a block in the order of its pieces and checks each one in place.
class BlockChecker {
 public:
  BlockChecker(const ZormlLauncherData* record, size_t size)
      : block(reinterpret_cast<const char*>(record)), size(size) {}

  void string(const char* where, const std::string& text) {
    check(where == block + offset);
    check(offset + text.size() + 1 <= size);
    check(std::memcmp(where, text.data(), text.size()) == 0 && where[text.size()] == '\0');
    offset += text.size() + 1;
  }

  // A pointer array followed by its strings; `terminated` adds a null slot.
  void list(char* const* array, const std::vector<std::string>& items, bool terminated) {
    const char* const slots = reinterpret_cast<const char*>(array);
    const size_t count = items.size() + (terminated ? 1 : 0);
    check(slots == block + offset);
    check(offset + 8 * count <= size);
    offset += 8 * count;
    for (size_t i = 0; i < count; ++i) {
      const char* item;  // the slots are not aligned
      std::memcpy(&item, slots + 8 * i, sizeof item);
      if (i < items.size()) {
        string(item, items[i]);
      } else {
        check(item == nullptr);
      }
    }
  }

  bool atEnd() const { return offset == size; }

 private:
  const char* const block;
  const size_t size;
  size_t offset = sizeof(ZormlLauncherData);
};

void checkBlock(const ZormlLauncherData* record, size_t size, const RlxLaunchData& d) {
  check(record->argCount == static_cast<int>(d.launchArgs.size()));
  check(record->envCount == static_cast<int>(d.envNames.size()));
  BlockChecker checker(record, size);
  checker.string(record->libPath, d.libPath);
  checker.list(record->argList, d.launchArgs, true);
  checker.list(record->envNameList, d.envNames, false);
  checker.list(record->envValueList, d.envValues, false);
  check(checker.atEnd());
}

const unsigned char kUntouched = 0xa5;

bool untouched(const unsigned char* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] != kUntouched) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullAppender quiet;  // a refused size is reported as an error record
  Logger::defaultLogger().setAppender(quiet);

  const Input input = decode(data, size);
  const RlxLaunchData& description = input.description;
  const size_t needed = expectedSize(description);
  size_t limit = INT_MAX;
  std::optional<LauncherDataSizeLimit> lowered;
  if (input.limitControl != 0) {
    limit = needed + 128 >= input.limitControl ? needed + 128 - input.limitControl : 0;
    lowered.emplace(static_cast<int>(limit));
  }
  const bool fits = needed <= limit;
  const LauncherDataApi* const api = zormLauncherGetAPI();

  // The table's slots one by one: a buffer one byte short stays untouched,
  // a larger one is packed from its start and keeps the bytes past the block.
  void* const handle = new RlxLaunchData(description);
  const int reported = api->getZormlLauncherDataSize(handle);
  check(reported == (fits ? static_cast<int>(needed) : -1));
  if (fits) {
    const size_t spare = 8;
    unsigned char* const buffer = static_cast<unsigned char*>(std::malloc(needed + spare));
    check(buffer != nullptr);
    std::memset(buffer, kUntouched, needed + spare);
    check(api->initZormlLauncherData(handle, buffer, static_cast<int>(needed) - 1) == nullptr);
    check(untouched(buffer, needed + spare));
    ZormlLauncherData* const record =
        api->initZormlLauncherData(handle, buffer, static_cast<int>(needed + spare));
    check(record == reinterpret_cast<ZormlLauncherData*>(buffer));
    checkBlock(record, needed, description);
    check(untouched(buffer + needed, spare));
    std::free(buffer);
  }
  api->closeHandle(handle);

  // The way the launcher builds its block; it closes the handle itself.
  int blockSize = -7;
  ZormlLauncherData* const block =
      zormLauncherCreateZormlLauncherData(api, new RlxLaunchData(description), &blockSize);
  if (fits) {
    check(block != nullptr && blockSize == static_cast<int>(needed));
    checkBlock(block, needed, description);
  } else {
    check(block == nullptr && blockSize == -7);
  }
  std::free(block);
  return 0;
}
