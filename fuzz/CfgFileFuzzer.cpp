// libFuzzer target: arbitrary bytes go to the configuration parser, and the
// result through every operation the launcher uses on it. Besides crashes,
// leaks and sanitizer findings it stops on broken invariants.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "share/native/applauncher/CfgFile.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/Log.h"

namespace {

class NullAppender : public LogAppender {
 public:
  void append(const LogEvent&) override {}
};

// The launcher's three macros as an installation under directories named like
// them makes them: they refer to themselves and to one another. "$A" is a
// prefix of "$APPDIR" and doubles itself; the empty name must change nothing.
const CfgFile::Macros macros = {
    {"", "never"},
    {"$A", "$A$A"},
    {"$APPDIR", "/opt/$APPDIR/X.app/Contents/app"},
    {"$BINDIR", "$ROOTDIR/Contents/MacOS"},
    {"$ROOTDIR", "/opt/$APPDIR/X.app"},
};

const CfgFile::SectionId sections[] = {
    SectionName::Application,       SectionName::VexaOptions,
    SectionName::AppCDSVexaOptions, SectionName::AppCDSGenerateCacheVexaOptions,
    SectionName::ArgOptions,
};

void check(bool condition) {
  if (!condition) std::abort();
}

// Reads every property the way the launcher does; returns the number of values.
std::size_t readAll(const CfgFile& cfg) {
  std::size_t count = 0;
  for (const CfgFile::SectionId& section : sections) {
    for (const CfgFile::Property& property : cfg.getProperties(section)) {
      const std::vector<std::string>& values = property.second;
      check(CfgFile::asString(property) == (values.empty() ? "" : values.back()));
      std::size_t length = values.empty() ? 0 : values.size() - 1;
      for (const std::string& value : values) {
        check(value.find('\0') == std::string::npos);  // would be cut short
        length += value.size();
      }
      check(CfgFile::asPathList(property).size() == length);
      count += values.size();
    }
  }
  return count;
}

// Every value, section by section and property by property.
std::vector<std::string> valuesOf(const CfgFile& cfg) {
  std::vector<std::string> all;
  for (const CfgFile::SectionId& section : sections) {
    for (const CfgFile::Property& property : cfg.getProperties(section)) {
      all.insert(all.end(), property.second.begin(), property.second.end());
    }
  }
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullAppender quiet;  // self-referential values log a record each
  Logger::defaultLogger().setAppender(quiet);

  std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
  CfgFile cfg;
  try {
    cfg = CfgFile::parse(stream, "fuzz.cfg");
  } catch (const LxError<std::runtime_error>& e) {
    // A memory stream cannot fail to read: only a header without "]" or a NUL
    // byte in a known value may fail.
    check(std::string(e.rawMessage()).rfind("Error parsing [fuzz.cfg] file at ", 0) == 0);
    return 0;
  }
  for (const CfgFile::SectionId& section : sections) {
    for (const CfgFile::Property& property : cfg.getProperties(section)) {
      check(!property.second.empty());
    }
  }

  const std::size_t values = readAll(cfg);
  CfgFile expanded = cfg.expandMacros(macros);
  check(readAll(expanded) == values);
  check(readAll(cfg) == values);
  // Expanding in place, as the launcher does with the file it loaded, gives
  // what expanding a copy gives.
  CfgFile copy = cfg;
  check(valuesOf(std::move(copy).expandMacros(macros)) == valuesOf(expanded));

  const std::vector<std::string> arguments = {"$APPDIR", ""};
  expanded.setPropertyValue(SectionName::ArgOptions, PropertyName::arguments, arguments);
  check(expanded.getProperties(SectionName::ArgOptions).at(PropertyName::arguments) == arguments);
  expanded.setPropertyValue(SectionName::Application, PropertyName::classpath, {});
  readAll(expanded);
  return 0;
}
