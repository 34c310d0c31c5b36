#include "BinaryCheck.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "MachO.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/InputFile.h"
#include "share/native/common/tstrings.h"

namespace {

// A runtime library is a few MiB; a file beyond this is not read whole.
constexpr std::size_t kMaxFileSize = 512 * 1024 * 1024;

// What the runtime library looks up in the launcher: the names of the
// launcher's export list (from its build), as Mach-O spells them.
std::vector<std::string> launcherExports() {
  std::istringstream names(LX_LAUNCHER_EXPORTS);
  std::vector<std::string> exports;
  for (std::string name; names >> name;) exports.push_back("_" + name);
  return exports;
}

// The Macs, each with the slices it runs in the order it prefers them:
// Apple silicon runs arm64 code natively, and x86_64 code under Rosetta 2.
struct Mac {
  const char* name;
  std::vector<std::string> runs;
};
const Mac kMacs[] = {{"Intel", {"x86_64"}}, {"Apple silicon", {"arm64", "arm64e", "x86_64"}}};

const char* fileTypeName(MachO::FileType type) {
  switch (type) {
    case MachO::FileType::Executable:
      return "an executable";
    case MachO::FileType::Dylib:
      return "a dylib";
    case MachO::FileType::Bundle:
      return "a bundle";
    case MachO::FileType::Other:
      break;
  }
  return "a Mach-O file of another kind";
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
  return tstrings::join(items.begin(), items.end(), separator);
}

std::vector<std::string> architectures(const MachO::File& file) {
  std::vector<std::string> names;
  for (const MachO::Slice& slice : file.slices) names.push_back(slice.architecture);
  return names;
}

const MachO::Slice* sliceFor(const MachO::File& file, const std::string& architecture) {
  for (const MachO::Slice& slice : file.slices) {
    if (slice.architecture == architecture) return &slice;
  }
  return nullptr;
}

// The file's bytes through the launcher's own reader, which refuses what is
// no regular file; a file it cannot read is damage.
MachO::File readBinary(const std::string& path) {
  MachO::File file;
  try {
    InputFile in(path);
    std::string bytes;
    std::vector<char> chunk(64 * 1024);
    do {
      in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    } while (in && bytes.size() <= kMaxFileSize);
    if (in.bad()) {
      file.damage = "the file cannot be read to its end";
      return file;
    }
    if (bytes.size() > kMaxFileSize) {
      file.isMachO = true;
      file.damage = "larger than 512 MiB, more than the checker reads";
      return file;
    }
    return MachO::read(bytes);
  } catch (const LxErrorBase& e) {
    file.damage = e.rawMessage();
  }
  return file;
}

BinaryFacts factsOf(const MachO::File& file) {
  BinaryFacts facts;
  facts.architectures = architectures(file);
  std::uint32_t minimum = 0;
  for (const MachO::Slice& slice : file.slices) {
    minimum = std::max(minimum, slice.minimumMacOS);
    if (!slice.codeSignature) facts.unsignedSlices.push_back(slice.architecture);
  }
  if (minimum != 0) facts.minimumMacOS = MachO::versionText(minimum);
  return facts;
}

// Why macOS could not load `file` as `wanted`, or empty when it could.
std::string unloadable(const MachO::File& file, const std::vector<MachO::FileType>& wanted,
                       const char* wantedText) {
  if (!file.isMachO) return file.damage.empty() ? "not a Mach-O file" : file.damage;
  if (!file.damage.empty()) return "a damaged Mach-O file: " + file.damage;
  for (const MachO::Slice& slice : file.slices) {
    if (std::find(wanted.begin(), wanted.end(), slice.fileType) == wanted.end()) {
      return "the " + slice.architecture + " slice is " + fileTypeName(slice.fileType) + ", not " +
             wantedText;
    }
    if (!slice.forMacOS)
      return "the " + slice.architecture + " slice is built for another platform";
  }
  return std::string();
}

void checkSigned(const MachO::File& file, const std::string& path, const char* what,
                 Report& report) {
  for (const MachO::Slice& slice : file.slices) {
    if (slice.codeSignature || slice.architecture.compare(0, 5, "arm64") != 0) continue;
    report.add(Severity::Error, "unsigned-arm64", path, 0,
               std::string("the ") + what + "'s " + slice.architecture +
                   " slice has no code signature, and Apple silicon runs no unsigned arm64 "
                   "code; an ad-hoc signature is enough (codesign -s -)");
  }
}

void checkLauncherExports(const MachO::File& launcher, const std::string& path, Report& report) {
  for (const MachO::Slice& slice : launcher.slices) {
    std::vector<std::string> missing;
    for (const std::string& name : launcherExports()) {
      if (slice.exports.count(name) == 0) missing.push_back(name);
    }
    if (missing.empty()) continue;
    report.add(Severity::Error, "launcher-exports", path, 0,
               "the launcher's " + slice.architecture + " slice does not export " +
                   joined(missing, ", ") + ", which the runtime library looks up");
  }
}

// The library against the launcher, architecture by architecture.
void checkMatch(const MachO::File& launcher, const MachO::File& library, const std::string& path,
                Report& report) {
  std::vector<std::string> unmatched;
  for (const MachO::Slice& slice : launcher.slices) {
    const MachO::Slice* match = sliceFor(library, slice.architecture);
    if (!match) {
      unmatched.push_back(slice.architecture);
      continue;
    }
    if (match->exports.count("_RLX_Launch") == 0) {
      report.add(Severity::Error, "runtime-no-entry", path, 0,
                 "the runtime library's " + match->architecture +
                     " slice exports no _RLX_Launch, the entry point the launcher calls");
    }
    if (match->minimumMacOS > slice.minimumMacOS && slice.minimumMacOS != 0) {
      report.add(Severity::Warning, "runtime-newer-os", path, 0,
                 "the runtime library's " + match->architecture + " slice needs macOS " +
                     MachO::versionText(match->minimumMacOS) + ", newer than the launcher's " +
                     MachO::versionText(slice.minimumMacOS) +
                     ": on older macOS the launcher starts but cannot load the library");
    }
  }
  if (unmatched.empty()) return;
  std::vector<std::string> failing;
  for (const Mac& mac : kMacs) {
    const auto runs = std::find_if(mac.runs.begin(), mac.runs.end(), [&](const std::string& arch) {
      return sliceFor(launcher, arch) != nullptr;
    });
    if (runs != mac.runs.end() && !sliceFor(library, *runs)) failing.push_back(mac.name);
  }
  std::string message = "the launcher holds " + joined(architectures(launcher), " and ") +
                        ", the runtime library only " + joined(architectures(library), " and ") +
                        ": ";
  message += failing.empty()
                 ? "no " + joined(unmatched, " or ") + " slice for the launcher to load"
                 : "the launch fails on " + joined(failing, " and ") + " Macs, which find no " +
                       joined(unmatched, " or ") + " slice to load";
  report.add(Severity::Error, "runtime-arch-mismatch", path, 0, message);
}

}  // namespace

void checkBinaries(const std::string& launcherPath, const std::optional<std::string>& libraryPath,
                   Report& report) {
  const MachO::File launcher = readBinary(launcherPath);
  if (!launcher.isMachO) {
    const std::string what = launcher.damage.empty()
                                 ? "the launcher is not a Mach-O file (a build for another system?)"
                                 : "the launcher cannot be read (" + launcher.damage + ")";
    report.add(Severity::Note, "not-mach-o", launcherPath, 0,
               what + ", so the binary checks are skipped");
    return;
  }
  const std::string why = unloadable(launcher, {MachO::FileType::Executable}, "an executable");
  if (!why.empty()) {
    report.add(Severity::Error, "launcher-not-loadable", launcherPath, 0, why);
    return;
  }
  report.plan.launcherBinary = factsOf(launcher);
  checkLauncherExports(launcher, launcherPath, report);
  checkSigned(launcher, launcherPath, "launcher", report);
  if (!libraryPath) return;

  const MachO::File library = readBinary(*libraryPath);
  const std::string libraryWhy =
      unloadable(library, {MachO::FileType::Dylib, MachO::FileType::Bundle}, "a dylib or bundle");
  if (!libraryWhy.empty()) {
    report.add(Severity::Error, "runtime-not-loadable", *libraryPath, 0,
               "macOS cannot load the runtime library: " + libraryWhy);
    return;
  }
  report.plan.libraryBinary = factsOf(library);
  checkSigned(library, *libraryPath, "runtime library", report);
  checkMatch(launcher, library, *libraryPath, report);
}
