// A reader of Mach-O files, thin or universal, for what the bundle checker
// asks of a launcher and a runtime library. It takes any bytes: every offset,
// size and count is checked against the file before it is used, and the
// export trie is walked once per node with bounded names, so a damaged or
// hostile file gives a damage message, never a crash, a hang or a blow-up.
#ifndef LX_TOOLS_CHECKER_MACHO_H
#define LX_TOOLS_CHECKER_MACHO_H

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace MachO {

enum class FileType { Executable, Dylib, Bundle, Other };

// The image of one architecture.
struct Slice {
  std::string architecture;  // "x86_64", "arm64", "arm64e", "i386", "arm" or "cpu type N"
  FileType fileType = FileType::Other;
  // False when the file names only platforms other than macOS.
  bool forMacOS = true;
  // X.Y.Z in nibbles xxxx.yy.zz, as the file holds it; 0 when it names none.
  std::uint32_t minimumMacOS = 0;
  bool codeSignature = false;
  // Exported names as the loader sees them (with the leading underscore),
  // from the export trie, or without one from the symbol table.
  std::set<std::string> exports;
};

struct File {
  bool isMachO = false;       // false: no Mach-O or universal header at all
  std::string damage;         // why the file cannot be read to its end; empty if it can
  std::vector<Slice> slices;  // in file order; empty when damaged
};

File read(std::string_view bytes);

// "11.0", "10.15.7".
std::string versionText(std::uint32_t version);

}  // namespace MachO

#endif
