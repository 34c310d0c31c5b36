#include "Report.h"

#include <algorithm>

const char* severityName(Severity severity) {
  switch (severity) {
    case Severity::Error:
      return "error";
    case Severity::Warning:
      return "warning";
    case Severity::Note:
      return "note";
  }
  return "";
}

void Report::add(Severity severity, const std::string& code, const std::string& file,
                 std::int64_t line, const std::string& message) {
  if (keys.emplace(code, file, line).second) {
    list.push_back(Finding{severity, code, file, line, message});
  }
}

int Report::count(Severity severity) const {
  return static_cast<int>(std::count_if(list.begin(), list.end(), [severity](const Finding& f) {
    return f.severity == severity;
  }));
}
