#include "MachO.h"

namespace MachO {

namespace {

// From Apple's public mach-o/loader.h, fat.h, nlist.h and mach/machine.h.
constexpr std::uint32_t kFatMagic = 0xcafebabe;  // big-endian, as is all of the fat header
constexpr std::uint32_t kFatMagic64 = 0xcafebabf;
constexpr std::uint32_t kMagic = 0xfeedface;
constexpr std::uint32_t kMagic64 = 0xfeedfacf;
constexpr std::uint32_t kCigam = 0xcefaedfe;  // the magics in the other byte order
constexpr std::uint32_t kCigam64 = 0xcffaedfe;

constexpr std::uint32_t kExecute = 0x2;
constexpr std::uint32_t kDylib = 0x6;
constexpr std::uint32_t kBundle = 0x8;

constexpr std::uint32_t kReqDyld = 0x80000000;
constexpr std::uint32_t kSymtab = 0x2;
constexpr std::uint32_t kCodeSignature = 0x1d;
constexpr std::uint32_t kDyldInfo = 0x22;
constexpr std::uint32_t kDyldInfoOnly = 0x22 | kReqDyld;
constexpr std::uint32_t kVersionMinMacOS = 0x24;
constexpr std::uint32_t kVersionMinIPhoneOS = 0x25;
constexpr std::uint32_t kVersionMinTvOS = 0x2f;
constexpr std::uint32_t kVersionMinWatchOS = 0x30;
constexpr std::uint32_t kBuildVersion = 0x32;
constexpr std::uint32_t kDyldExportsTrie = 0x33 | kReqDyld;
constexpr std::uint32_t kPlatformMacOS = 1;

constexpr std::uint32_t kAbi64 = 0x01000000;
constexpr std::uint32_t kCpuX86 = 7;
constexpr std::uint32_t kCpuArm = 12;
constexpr std::uint32_t kSubtypeFeatures = 0xff000000;
constexpr std::uint32_t kSubtypeArm64e = 2;

constexpr std::uint8_t kStab = 0xe0;
constexpr std::uint8_t kTypeMask = 0x0e;
constexpr std::uint8_t kExternal = 0x01;
constexpr std::uint8_t kUndefined = 0x0;

// Bounds on what a file may make the reader do. Real files stay far below.
constexpr std::uint32_t kMaxArchitectures = 64;
constexpr std::size_t kMaxNameLength = 64 * 1024;
constexpr std::size_t kMaxNameBytes = 64 * 1024 * 1024;

struct Damaged {
  std::string why;
};

// Bounds-checked reads of a byte range; a read past its end is damage.
class Bytes {
 public:
  Bytes(std::string_view data, bool bigEndian, const char* what)
      : data(data), bigEndian(bigEndian), what(what) {}

  std::uint8_t u8(std::uint64_t at) const {
    need(at, 1);
    return static_cast<std::uint8_t>(data[at]);
  }

  std::uint32_t u32(std::uint64_t at) const {
    need(at, 4);
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const std::uint32_t byte = static_cast<std::uint8_t>(data[at + i]);
      value |= bigEndian ? byte << (24 - 8 * i) : byte << (8 * i);
    }
    return value;
  }

  std::uint64_t u64(std::uint64_t at) const {
    const std::uint64_t first = u32(at), second = u32(at + 4);
    return bigEndian ? first << 32 | second : second << 32 | first;
  }

  // The range [at, at + length), which must lie inside.
  std::string_view range(std::uint64_t at, std::uint64_t length, const std::string& part) const {
    if (!inside(at, length)) throw Damaged{part + " extends past the end of the " + what};
    return data.substr(at, length);
  }

  // A range inside, read in the same byte order; `part` names it.
  Bytes sub(std::uint64_t at, std::uint64_t length, const char* part) const {
    return Bytes(range(at, length, std::string("the ") + part), bigEndian, part);
  }

 private:
  bool inside(std::uint64_t at, std::uint64_t length) const {
    return at <= data.size() && length <= data.size() - at;
  }

  void need(std::uint64_t at, std::uint64_t length) const {
    if (!inside(at, length)) throw Damaged{std::string("truncated ") + what};
  }

  std::string_view data;
  bool bigEndian;
  const char* what;
};

std::string architectureName(std::uint32_t cpuType, std::uint32_t cpuSubtype) {
  if (cpuType == (kCpuX86 | kAbi64)) return "x86_64";
  if (cpuType == (kCpuArm | kAbi64)) {
    return (cpuSubtype & ~kSubtypeFeatures) == kSubtypeArm64e ? "arm64e" : "arm64";
  }
  if (cpuType == kCpuX86) return "i386";
  if (cpuType == kCpuArm) return "arm";
  return "cpu type " + std::to_string(cpuType);
}

// Collects exported names up to kMaxNameBytes in all.
class Names {
 public:
  explicit Names(std::set<std::string>& names) : names(names) {}

  void add(std::string_view name) {
    total += name.size();
    if (total > kMaxNameBytes) throw Damaged{"more exported names than the checker reads (64 MiB)"};
    names.emplace(name);
  }

 private:
  std::set<std::string>& names;
  std::size_t total = 0;
};

// A cursor over the export trie, whose numbers are ULEB128.
class TrieCursor {
 public:
  TrieCursor(std::string_view trie, std::uint64_t at) : trie(trie), at(at) {}

  std::uint64_t position() const { return at; }
  void moveTo(std::uint64_t position) { at = position; }

  std::uint8_t byte() {
    if (at >= trie.size()) throw Damaged{"the export trie is truncated"};
    return static_cast<std::uint8_t>(trie[at++]);
  }

  std::uint64_t uleb() {
    std::uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
      const std::uint8_t b = byte();
      if (shift > 63) throw Damaged{"a number in the export trie is too large"};
      value |= static_cast<std::uint64_t>(b & 0x7f) << shift;
      if ((b & 0x80) == 0) return value;
    }
  }

  std::string_view cString() {
    const std::size_t end = trie.find('\0', at);
    if (end == std::string_view::npos) throw Damaged{"the export trie is truncated"};
    const std::string_view text = trie.substr(at, end - at);
    at = end + 1;
    return text;
  }

 private:
  std::string_view trie;
  std::uint64_t at;
};

// Depth first with one shared name: every node is visited once (a second
// visit means the trie loops or shares nodes), and names are bounded.
void readTrie(std::string_view trie, Names& names) {
  struct Edge {
    std::uint64_t node;
    std::size_t parentLength;
    std::string_view label;
  };
  std::vector<bool> visited(trie.size());
  std::vector<Edge> pending{{0, 0, std::string_view()}};
  std::string name;
  while (!pending.empty()) {
    const Edge edge = pending.back();
    pending.pop_back();
    if (edge.node >= trie.size()) throw Damaged{"an export trie edge leads past its end"};
    if (visited[edge.node]) throw Damaged{"the export trie loops"};
    visited[edge.node] = true;
    name.resize(edge.parentLength);
    name += edge.label;
    if (name.size() > kMaxNameLength) throw Damaged{"an exported name is longer than 64 KiB"};

    TrieCursor cursor(trie, edge.node);
    const std::uint64_t terminalSize = cursor.uleb();
    if (terminalSize > 0) {
      if (terminalSize > trie.size() - cursor.position()) {
        throw Damaged{"the export trie is truncated"};
      }
      names.add(name);
      cursor.moveTo(cursor.position() + terminalSize);
    }
    for (unsigned children = cursor.byte(); children > 0; --children) {
      const std::string_view label = cursor.cString();
      pending.push_back(Edge{cursor.uleb(), name.size(), label});
    }
  }
}

// The external symbols that the image defines itself.
void readSymbols(const Bytes& image, bool is64, std::uint64_t symbolsAt, std::uint32_t count,
                 std::uint64_t stringsAt, std::uint32_t stringsSize, Names& names) {
  const std::uint64_t entrySize = is64 ? 16 : 12;
  const Bytes symbols = image.sub(symbolsAt, count * entrySize, "symbol table");
  const std::string_view strings = image.range(stringsAt, stringsSize, "the string table");
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint8_t type = symbols.u8(i * entrySize + 4);
    if ((type & kStab) != 0 || (type & kExternal) == 0 || (type & kTypeMask) == kUndefined)
      continue;
    const std::uint32_t index = symbols.u32(i * entrySize);
    const std::size_t end =
        index < strings.size() ? strings.find('\0', index) : std::string_view::npos;
    if (end == std::string_view::npos)
      throw Damaged{"a symbol's name lies outside the string table"};
    names.add(strings.substr(index, end - index));
  }
}

Slice readSlice(std::string_view bytes) {
  const std::uint32_t magic = Bytes(bytes, false, "Mach-O header").u32(0);
  const bool is64 = magic == kMagic64 || magic == kCigam64;
  if (!is64 && magic != kMagic && magic != kCigam) throw Damaged{"no Mach-O header"};
  const bool bigEndian = magic == kCigam || magic == kCigam64;
  const Bytes image(bytes, bigEndian, "file");
  Slice slice;
  slice.architecture = architectureName(image.u32(4), image.u32(8));
  const std::uint32_t fileType = image.u32(12);
  slice.fileType = fileType == kExecute  ? FileType::Executable
                   : fileType == kDylib  ? FileType::Dylib
                   : fileType == kBundle ? FileType::Bundle
                                         : FileType::Other;
  const std::uint32_t count = image.u32(16);
  const Bytes commands = image.sub(is64 ? 32 : 28, image.u32(20), "load-command area");

  bool macOS = false, otherPlatform = false, hasTrie = false, hasSymbols = false;
  std::uint64_t trieAt = 0, trieSize = 0;
  std::uint32_t symbolsAt = 0, symbolCount = 0, stringsAt = 0, stringsSize = 0;
  // Each command starts where the one before ends and is at least 8 bytes
  // long, so the walk cannot loop; a command shorter than its fields is
  // damage, caught as a read past the end of its own range.
  std::uint64_t at = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t kind = commands.u32(at);
    const std::uint32_t size = commands.u32(at + 4);
    if (size < 8) throw Damaged{"load command " + std::to_string(i) + " is shorter than 8 bytes"};
    const Bytes command = commands.sub(at, size, "load command");
    at += size;
    switch (kind) {
      case kSymtab:
        hasSymbols = true;
        symbolsAt = command.u32(8);
        symbolCount = command.u32(12);
        stringsAt = command.u32(16);
        stringsSize = command.u32(20);
        break;
      case kDyldInfo:
      case kDyldInfoOnly:
        trieAt = command.u32(40);
        trieSize = command.u32(44);
        hasTrie = trieSize > 0;
        break;
      case kDyldExportsTrie:
        trieAt = command.u32(8);
        trieSize = command.u32(12);
        hasTrie = trieSize > 0;
        break;
      case kCodeSignature:
        image.range(command.u32(8), command.u32(12), "the code signature");
        slice.codeSignature = true;
        break;
      case kBuildVersion:
        if (command.u32(8) == kPlatformMacOS) {
          macOS = true;
          slice.minimumMacOS = command.u32(12);
        } else {
          otherPlatform = true;
        }
        break;
      case kVersionMinMacOS:
        macOS = true;
        slice.minimumMacOS = command.u32(8);
        break;
      case kVersionMinIPhoneOS:
      case kVersionMinTvOS:
      case kVersionMinWatchOS:
        otherPlatform = true;
        break;
      default:
        break;
    }
  }
  slice.forMacOS = macOS || !otherPlatform;

  Names names(slice.exports);
  if (hasTrie) {
    readTrie(image.range(trieAt, trieSize, "the export trie"), names);
  } else if (hasSymbols) {
    readSymbols(image, is64, symbolsAt, symbolCount, stringsAt, stringsSize, names);
  }
  return slice;
}

// The slices of a universal file, whose header is big-endian.
std::vector<Slice> readUniversal(const Bytes& file, bool is64) {
  const std::uint32_t count = file.u32(4);
  if (count == 0 || count > kMaxArchitectures) {
    throw Damaged{"a universal file that claims " + std::to_string(count) + " architectures"};
  }
  std::vector<Slice> slices;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t entry = 8 + std::uint64_t{i} * (is64 ? 32 : 20);
    const std::string architecture = architectureName(file.u32(entry), file.u32(entry + 4));
    const std::uint64_t offset = is64 ? file.u64(entry + 8) : file.u32(entry + 8);
    const std::uint64_t size = is64 ? file.u64(entry + 16) : file.u32(entry + 12);
    const std::string_view bytes = file.range(offset, size, "the " + architecture + " slice");
    try {
      slices.push_back(readSlice(bytes));
    } catch (const Damaged& damaged) {
      throw Damaged{"the " + architecture + " slice: " + damaged.why};
    }
  }
  return slices;
}

}  // namespace

File read(std::string_view bytes) {
  File file;
  if (bytes.size() < 4) return file;
  const Bytes bigEndian(bytes, true, "file");
  const std::uint32_t fatMagic = bigEndian.u32(0);
  const std::uint32_t magic = Bytes(bytes, false, "file").u32(0);
  const bool universal = fatMagic == kFatMagic || fatMagic == kFatMagic64;
  file.isMachO =
      universal || magic == kMagic || magic == kMagic64 || magic == kCigam || magic == kCigam64;
  if (!file.isMachO) return file;
  try {
    if (universal) {
      file.slices = readUniversal(bigEndian, fatMagic == kFatMagic64);
    } else {
      file.slices.push_back(readSlice(bytes));
    }
  } catch (const Damaged& damaged) {
    file.damage = damaged.why;
    file.slices.clear();
  }
  return file;
}

std::string versionText(std::uint32_t version) {
  std::string text = std::to_string(version >> 16) + "." + std::to_string((version >> 8) & 0xff);
  if ((version & 0xff) != 0) text += "." + std::to_string(version & 0xff);
  return text;
}

}  // namespace MachO
