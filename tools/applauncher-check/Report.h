// What the bundle checker found: the launch plan, as the launcher's own
// planning code made it, and the findings about the bundle.
#ifndef LX_TOOLS_CHECKER_REPORT_H
#define LX_TOOLS_CHECKER_REPORT_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class Severity { Error, Warning, Note };

// "error", "warning" or "note".
const char* severityName(Severity severity);

struct Finding {
  Severity severity;
  std::string code;  // stable: pipelines act on it
  std::string file;
  std::int64_t line;  // 0 when no line applies
  std::string message;
};

// What the checker read from a Mach-O file.
struct BinaryFacts {
  std::vector<std::string> architectures;
  std::optional<std::string> minimumMacOS;  // the highest of the slices'; unset if none names one
  std::vector<std::string> unsignedSlices;  // the architectures without a code signature
};

// A part is unset when the check stopped before the launcher would know it.
struct Plan {
  std::string bundle;
  std::optional<std::string> launcher;
  std::optional<std::string> config;
  std::optional<std::string> runtimeDirectory;
  std::optional<std::string> library;
  std::vector<std::string> arguments;
  std::vector<std::pair<std::string, std::string>> environment;
  std::optional<BinaryFacts> launcherBinary;  // unset unless a readable Mach-O file
  std::optional<BinaryFacts> libraryBinary;
};

class Report {
 public:
  // Findings listed per code; a file of a million bad lines stays readable.
  static constexpr int kListedPerCode = 1000;

  Plan plan;

  // Lists a finding, or only counts it once its code has kListedPerCode.
  void add(Severity severity, const std::string& code, const std::string& file, std::int64_t line,
           const std::string& message);

  // Orders the findings by file, then line (a finding without a line first
  // for its file), and adds, for each code with findings beyond the listed
  // ones, one finding that says how many more there are; those come last and
  // are not counted. Call once, after the last add.
  void close();

  // True when findings of `code` are only counted from now on, so a caller
  // can skip building their messages.
  bool full(const std::string& code) const;

  const std::vector<Finding>& findings() const { return list; }
  // Every finding of `severity` added, listed or not.
  std::int64_t count(Severity severity) const;
  // True when no finding is an error.
  bool launches() const { return count(Severity::Error) == 0; }

 private:
  std::vector<Finding> list;
  std::map<std::string, int> perCode;  // findings listed
  std::map<std::string, std::int64_t> unlisted;
  std::int64_t counts[3] = {};  // by Severity
};

#endif
