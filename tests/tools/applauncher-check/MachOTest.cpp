// The Mach-O reader on the files the macOS cross toolchain built (see
// macho/build.sh), and on crafted, damaged and hostile bytes.
#include <gtest/gtest.h>

#include <initializer_list>

#include "TestSupport.h"
#include "applauncher-check/MachO.h"

using namespace std::string_literals;

namespace {

std::string fixture(const std::string& name) {
  return readFile(std::string(LX_MACHO_FIXTURES) + "/" + name);
}

// 32-bit words: little-endian as in thin files, big-endian as in universal headers.
std::string words(std::initializer_list<std::uint32_t> values, bool bigEndian = false) {
  std::string bytes;
  for (std::uint32_t v : values) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (bigEndian ? 24 - 8 * i : 8 * i));
  }
  return bytes;
}

// Stands for the offset of the data in thin(); kData + n for n bytes into it.
constexpr std::uint32_t kData = 0xf0000000;

// A 64-bit x86_64 dylib with one load command `kind`, its `fields` after
// the command size, and `data` right behind it.
std::string thin(std::uint32_t kind, std::vector<std::uint32_t> fields, const std::string& data) {
  const std::uint32_t size = static_cast<std::uint32_t>(8 + 4 * fields.size());
  std::string bytes = words({0xfeedfacf, 0x01000007, 3, 6, 1, size, 0, 0, kind, size});
  for (std::uint32_t field : fields)
    bytes += words({field >= kData ? field - kData + 32 + size : field});
  return bytes + data;
}

std::string exportsTrie(const std::string& trie) {
  return thin(0x80000033, {kData, static_cast<std::uint32_t>(trie.size())}, trie);
}

// What a test expects to see of a file: "not Mach-O", "damaged: <why>", or
// per slice its architecture, "+" when signed, its type, minimum macOS and
// exports.
std::string summary(const MachO::File& file) {
  if (!file.isMachO) return "not Mach-O";
  if (!file.damage.empty()) return "damaged: " + file.damage;
  std::string text;
  for (const MachO::Slice& slice : file.slices) {
    text += (text.empty() ? "" : "; ") + slice.architecture + (slice.codeSignature ? "+" : "");
    text += slice.fileType == MachO::FileType::Executable ? " executable" : "";
    text += slice.fileType == MachO::FileType::Dylib ? " dylib" : "";
    text += " " + MachO::versionText(slice.minimumMacOS) + (slice.forMacOS ? ":" : " not macOS:");
    for (const std::string& name : slice.exports) text += " " + name;
  }
  return text;
}

}  // namespace

TEST(MachOTest, ReadsTheBuiltFiles) {
  const std::string launcher =
      " 11.0: __mh_execute_header _main _zormLauncherCreateZormlLauncherData "
      "_zormLauncherGetAPI _zormLauncherLog _zormLauncherStartZorm";
  const std::pair<const char*, std::string> cases[] = {
      {"rlx-x86_64.dylib", "x86_64 dylib 11.0: _RLX_Launch"},
      {"rlx-arm64.dylib", "arm64+ dylib 11.0: _RLX_Launch"},
      {"rlx-universal.dylib", "x86_64 dylib 11.0: _RLX_Launch; arm64+ dylib 11.0: _RLX_Launch"},
      {"rlx-no-entry-x86_64.dylib", "x86_64 dylib 11.0: _RLX_Other"},
      {"rlx-macos13-x86_64.dylib", "x86_64 dylib 13.0: _RLX_Launch"},
      {"rlx-unsigned-arm64.dylib", "arm64 dylib 11.0: _RLX_Launch"},
      {"launcher-universal", "x86_64 executable" + launcher + "; arm64+ executable" + launcher},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(expected, summary(MachO::read(fixture(name)))) << name;
  }
}

TEST(MachOTest, TakesAnyBytes) {
  const std::string dylib = fixture("rlx-x86_64.dylib");
  const std::string trie = "\0\1_RLX_Launch\0\x0f\2\0\0\0"s;  // a root and one terminal node
  const std::string strings = "\0_ext\0_undefined\0_local\0_stab\0"s;
  const std::string symbols = words({1, 0x0f, 0, 0}) + words({6, 0x01, 0, 0}) +
                              words({17, 0x0e, 0, 0}) + words({24, 0x24, 0, 0});
  const std::uint32_t size = static_cast<std::uint32_t>(dylib.size());
  const std::string fat64 = words({0xcafebabf, 1, 0x01000007, 3, 0, 40, 0, size, 12, 0}, true);
  const struct {
    const char* label;
    std::string bytes;
    std::string expected;  // part of the summary
  } cases[] = {
      {"empty", "", "not Mach-O"},
      {"ELF", "\177ELF\2\1\1\0"s, "not Mach-O"},
      {"LC_DYLD_EXPORTS_TRIE", exportsTrie(trie), "x86_64 dylib 0.0: _RLX_Launch"},
      {"trie that loops", exportsTrie("\0\1a\0\0"s), "damaged: the export trie loops"},
      {"trie edge past its end", exportsTrie("\0\1a\0\x7f"s), "leads past its end"},
      {"trie number without end", exportsTrie(std::string(20, '\xff')), "too large"},
      {"trie past the file", thin(0x80000033, {kData, 1000}, trie), "the export trie extends past"},
      {"symbol table", thin(0x2, {kData, 4, kData + 64, 30}, symbols + strings), "0.0: _ext"},
      {"symbol count past the file", thin(0x2, {kData, ~0u, kData, 0}, ""),
       "the symbol table extends past"},
      {"symbol name outside its table",
       thin(0x2, {kData, 1, kData + 16, 2}, words({9, 0x0f, 0, 0}) + "\0\0"s), "string table"},
      {"command shorter than its fields", thin(0x2, {}, ""), "truncated load command"},
      {"command of size 0", dylib.substr(0, 32) + words({2, 0}) + dylib.substr(40), "than 8 bytes"},
      {"commands past the file", dylib.substr(0, 20) + words({~0u}) + dylib.substr(24),
       "damaged: the load-command area extends past the end"},
      {"truncated file", dylib.substr(0, 200), "damaged: the load-command area extends past"},
      {"universal claiming 10^9 slices", words({0xcafebabe, 1000000000}, true),
       "claims 1000000000"},
      {"universal slice past the file", words({0xcafebabe, 1, 0x01000007, 3, 4096, 4096, 12}, true),
       "damaged: the x86_64 slice extends past the end of the file"},
      {"64-bit universal header", fat64 + dylib, "x86_64 dylib 11.0: _RLX_Launch"},
      {"LC_VERSION_MIN_MACOSX", thin(0x24, {0x000a0f07, 0}, ""), "dylib 10.15.7:"},
      {"LC_BUILD_VERSION for iOS", thin(0x32, {2, 0x000e0000, 0, 0}, ""), "dylib 0.0 not macOS:"},
  };
  for (const auto& c : cases) {
    const std::string seen = summary(MachO::read(c.bytes));
    EXPECT_NE(std::string::npos, seen.find(c.expected)) << c.label << ": " << seen;
  }
}
