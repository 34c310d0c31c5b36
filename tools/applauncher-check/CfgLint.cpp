#include "CfgLint.h"

#include <algorithm>
#include <cctype>

#include "Suggest.h"
#include "share/native/applauncher/CfgProperty.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/tstrings.h"

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool isBlankLine(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

template <class IdType, std::size_t size>
std::vector<std::string> namesOf(const IdType (&table)[size]) {
  std::vector<std::string> names;
  for (const IdType& id : table) names.emplace_back(id.name());
  return names;
}

// The line of value `index`; 0 when unknown.
std::int64_t lineAt(const std::vector<std::int64_t>& lines, std::size_t index) {
  return index < lines.size() ? lines[index] : 0;
}

std::string didYouMean(std::string_view name, const std::vector<std::string>& known,
                       const char* open, const char* close) {
  const std::string best = closestName(name, known);
  return best.empty() ? std::string() : "; did you mean " + (open + best + close) + "?";
}

}  // namespace

CfgLint::CfgLint(Report& report, std::string path, const CfgFile::Macros& macros)
    : report(report), path(std::move(path)) {
  for (const auto& macro : macros) macroNames.push_back(macro.first);
}

template <class Message>
void CfgLint::add(Severity severity, const char* code, std::int64_t line, Message message) {
  report.add(severity, code, path, line, report.full(code) ? std::string() : message());
}

void CfgLint::line(std::int64_t number, std::string_view text) {
  if (number == 1 && text.substr(0, 3) == kByteOrderMark) {
    byteOrderMark = true;
    add(Severity::Warning, "byte-order-mark", number, [&]() -> std::string {
      return "the file starts with a UTF-8 byte-order mark, so its first line is not read as "
             "written; save it without one";
    });
  }
  if (!text.empty() && text.back() == '\r') {
    if (crLines++ == 0) firstCrLine = number;
  }
}

void CfgLint::section(std::int64_t number, std::string_view name, bool known) {
  seenHeader = true;
  sectionKnown = known;
  sectionName.assign(name);
  headerLine = number;
  if (!known) {
    add(Severity::Warning, "unknown-section", number, [&]() -> std::string {
      return "unknown section [" + std::string(name) + "]: its properties are skipped" +
             didYouMean(name, namesOf(SectionName::all), "[", "]");
    });
  }
}

void CfgLint::property(std::int64_t number, std::string_view name, std::string_view value,
                       bool recorded) {
  if (number == 1 && byteOrderMark) return;  // reported as the mark
  if (recorded) {
    const CfgProperty* row = CfgProperties::find(sectionName, name);
    if (!row) {
      add(Severity::Warning, "property-wrong-section", number, [&]() -> std::string {
        return std::string(name) + " belongs in [" + CfgProperties::find(name)->section.name() +
               "]; the launcher ignores it under [" + sectionName + "]";
      });
    }
    std::vector<std::int64_t>& lines = pending[std::string(name)];
    if (!lines.empty() && row && row->read && row->values == CfgProperty::Values::Last) {
      add(Severity::Warning, "repeated-value", number, [&]() -> std::string {
        return std::string(name) + " is given again (first at line " +
               std::to_string(lines.front()) + "); only the last value is used";
      });
    }
    lines.push_back(number);
    checkMacros(number, value);
    return;
  }
  if (isBlankLine(name) && value.empty()) return;  // a blank line with a carriage return
  const std::string hint =
      !name.empty() && name[0] == '#' ? " (comments start with ';', not '#')" : "";
  if (!seenHeader) {
    add(Severity::Warning, "property-before-section", number, [&]() -> std::string {
      return "'" + std::string(name) + "' comes before the first section header and is skipped" +
             hint;
    });
  } else if (sectionKnown) {
    // An unknown section has been reported as a whole.
    add(Severity::Warning, "unknown-property", number, [&]() -> std::string {
      return "unknown property '" + std::string(name) + "' is skipped" + hint +
             didYouMean(name, namesOf(PropertyName::all), "'", "'");
    });
  }
}

void CfgLint::committed(const CfgFile::SectionId& section, bool replaced) {
  const std::string name = section.name();
  if (replaced) {
    add(Severity::Warning, "section-replaced", headerLine, [&]() -> std::string {
      return "[" + name + "] replaces everything recorded by the [" + name + "] at line " +
             std::to_string(committedHeader[name]);
    });
  }
  committedHeader[name] = headerLine;
  committedLines[name] = std::move(pending);
  pending.clear();
}

void CfgLint::checkMacros(std::int64_t number, std::string_view value) {
  std::vector<std::string> unknown;
  for (std::size_t pos = value.find('$'); pos != std::string_view::npos;
       pos = value.find('$', pos + 1)) {
    const auto macro =
        std::find_if(macroNames.begin(), macroNames.end(),
                     [&](const std::string& m) { return value.substr(pos, m.size()) == m; });
    if (macro != macroNames.end()) {
      const std::size_t end = pos + macro->size();
      if (end < value.size() && isNameChar(value[end])) {
        add(Severity::Warning, "macro-glued", number, [&]() -> std::string {
          return *macro + " is followed directly by '" + value[end] +
                 "': it is replaced all the same, " + "and the text after it stays";
        });
      }
      continue;
    }
    std::size_t end = pos + 1;
    while (end < value.size() && isNameChar(value[end])) ++end;
    if (end > pos + 1 && !std::isdigit(static_cast<unsigned char>(value[pos + 1]))) {
      unknown.emplace_back(value.substr(pos, end - pos));
    }
  }
  if (!unknown.empty()) {
    add(Severity::Warning, "unknown-macro", number, [&]() -> std::string {
      return tstrings::join(unknown.begin(), unknown.end(), std::string(", ")) +
             " stays as written; the macros are " +
             tstrings::join(macroNames.begin(), macroNames.end(), std::string(", "));
    });
  }
}

void CfgLint::finish() {
  if (crLines > 0) {
    add(Severity::Warning, "cr-line-end", firstCrLine, [&]() -> std::string {
      return std::to_string(crLines) +
             " line(s) end with a carriage return (Windows line ends); values keep it";
    });
  }
}

const std::vector<std::int64_t>& CfgLint::valueLines(const CfgProperty& property) const {
  static const std::vector<std::int64_t> none;
  const auto s = committedLines.find(property.section.name());
  if (s == committedLines.end()) return none;
  const auto p = s->second.find(property.name.name());
  return p == s->second.end() ? none : p->second;
}

void CfgLint::checkFile(std::int64_t line, const std::string& file, const char* what) {
  if (file.empty()) return;
  if (file[0] != '/') {
    // Not tested against the checker's own working directory: the result
    // must not depend on where the checker runs.
    add(Severity::Warning, "relative-path", line, [&]() -> std::string {
      return std::string(what) + " \"" + file +
             "\" is relative: the runtime takes it from the launch's working directory, which "
             "is / for a launch from the Finder";
    });
    return;
  }
  // A path list may repeat one entry a million times; stat it once.
  if (file != lastFile) {
    lastFile = file;
    lastFileExists = FileUtils::isFileExists(file);
  }
  if (lastFileExists) return;
  add(Severity::Warning, "missing-file", line,
      [&]() -> std::string { return std::string(what) + " \"" + file + "\" does not exist"; });
}

void CfgLint::checkLoaded(const CfgFile& cfg) {
  if (!CfgProperties::mainclass.find(cfg) && !CfgProperties::mainmodule.find(cfg) &&
      !CfgProperties::mainzep.find(cfg)) {
    add(Severity::Error, "no-main", 0, [&]() -> std::string {
      return std::string("[Application] names nothing to start: none of ") +
             PropertyName::mainclass.name() + ", " + PropertyName::mainmodule.name() + ", " +
             PropertyName::mainzep.name();
    });
  }
  // The paths handed to the runtime as written; app.runtime is not among
  // them, since the launcher joins a relative one to the image root itself.
  const std::pair<const CfgProperty*, const char*> paths[] = {
      {&CfgProperties::classpath, "class-path entry"},
      {&CfgProperties::modulepath, "module-path entry"},
      {&CfgProperties::splash, "splash file"},
      {&CfgProperties::mainzep, "main archive"},
  };
  for (const auto& [property, what] : paths) {
    const CfgFile::Property* found = property->find(cfg);
    if (!found || found->second.empty()) continue;
    const std::vector<std::string>& values = found->second;
    const std::vector<std::int64_t>& lines = valueLines(*property);
    const bool each = property->values == CfgProperty::Values::Each;
    for (std::size_t i = each ? 0 : values.size() - 1; i < values.size(); ++i) {
      if (property->kind != CfgProperty::Kind::PathList) {
        checkFile(lineAt(lines, i), values[i], what);
        continue;
      }
      // Entry by entry, without a list of them: a value can hold millions.
      const std::string& value = values[i];
      for (std::size_t start = 0, end = 0; start <= value.size(); start = end + 1) {
        end = std::min(value.find(FileUtils::pathSeparator, start), value.size());
        checkFile(lineAt(lines, i), value.substr(start, end - start), what);
      }
    }
  }
}
