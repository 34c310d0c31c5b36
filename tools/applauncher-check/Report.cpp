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
  ++counts[static_cast<int>(severity)];
  int& listed = perCode[code];
  if (listed == kListedPerCode) {
    ++unlisted[code];
    return;
  }
  ++listed;
  list.push_back(Finding{severity, code, file, line, message});
}

bool Report::full(const std::string& code) const {
  const auto found = perCode.find(code);
  return found != perCode.end() && found->second == kListedPerCode;
}

void Report::close() {
  std::stable_sort(list.begin(), list.end(), [](const Finding& a, const Finding& b) {
    return a.file != b.file ? a.file < b.file : a.line < b.line;
  });
  for (const auto& [code, count] : unlisted) {
    const auto first = std::find_if(list.begin(), list.end(),
                                    [&code = code](const Finding& f) { return f.code == code; });
    list.push_back(Finding{first->severity, code, first->file, 0,
                           std::to_string(count) + " more like this, not listed"});
  }
  unlisted.clear();
}

std::int64_t Report::count(Severity severity) const { return counts[static_cast<int>(severity)]; }
