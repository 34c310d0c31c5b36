// libFuzzer target: arbitrary bytes go to the checker's Mach-O reader, alone
// and wrapped as the one slice of a universal file. Besides crashes, hangs,
// leaks and sanitizer findings it stops on broken invariants: a file is read
// whole or named damaged, never half, and a slice reads the same in a
// universal file as on its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "applauncher-check/MachO.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void checkWhole(const MachO::File& file) {
  check(file.isMachO || (file.damage.empty() && file.slices.empty()));
  check(!file.isMachO || file.damage.empty() != file.slices.empty());
  for (const MachO::Slice& slice : file.slices) {
    check(!slice.architecture.empty());
    check(!MachO::versionText(slice.minimumMacOS).empty());
  }
}

bool sameSlice(const MachO::Slice& a, const MachO::Slice& b) {
  return a.architecture == b.architecture && a.fileType == b.fileType &&
         a.forMacOS == b.forMacOS && a.minimumMacOS == b.minimumMacOS &&
         a.codeSignature == b.codeSignature && a.exports == b.exports;
}

// A universal header for one x86_64 slice: these bytes.
std::string universal(std::string_view bytes) {
  const std::uint32_t words[] = {0xcafebabe, 1, 0x01000007, 3, 28,
                                 static_cast<std::uint32_t>(bytes.size()), 0};
  std::string file;
  for (std::uint32_t word : words) {
    for (int shift = 24; shift >= 0; shift -= 8) file += static_cast<char>(word >> shift);
  }
  return file.append(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const MachO::File alone = MachO::read(bytes);
  checkWhole(alone);
  const MachO::File wrapped = MachO::read(universal(bytes));
  checkWhole(wrapped);
  const bool thin = alone.isMachO && bytes.compare(0, 3, "\xca\xfe\xba") != 0;
  if (!thin) return 0;
  check(wrapped.damage.empty() == alone.damage.empty());
  if (!alone.damage.empty()) return 0;
  check(wrapped.slices.size() == 1 && sameSlice(wrapped.slices[0], alone.slices[0]));
  return 0;
}
