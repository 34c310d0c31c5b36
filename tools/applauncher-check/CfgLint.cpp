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

std::int64_t CfgLint::lineOf(const CfgFile::SectionId& section, const CfgFile::PropertyId& property,
                             std::size_t index) const {
  const auto s = committedLines.find(section.name());
  if (s == committedLines.end()) return 0;
  const auto p = s->second.find(property.name());
  return p == s->second.end() || index >= p->second.size() ? 0 : p->second[index];
}

void CfgLint::checkFile(const CfgProperty& property, std::size_t index, const std::string& file,
                        const char* what) {
  if (file.empty() || FileUtils::isFileExists(file)) return;
  const bool relative = !FileUtils::isDirSeparator(file[0]);
  add(Severity::Warning, "missing-file", lineOf(property.section, property.name, index),
      [&]() -> std::string {
        return std::string(what) + " \"" + file + "\" does not exist" +
               (relative ? " (a relative path is taken from the working directory at launch)" : "");
      });
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
  const std::pair<const CfgProperty*, const char*> pathLists[] = {
      {&CfgProperties::classpath, "class-path entry"},
      {&CfgProperties::modulepath, "module-path entry"},
  };
  for (const auto& [property, what] : pathLists) {
    const CfgFile::Property* found = property->find(cfg);
    if (!found) continue;
    for (std::size_t i = 0; i < found->second.size(); ++i) {
      std::vector<std::string> entries;
      tstrings::split(entries, found->second[i], std::string(1, FileUtils::pathSeparator),
                      tstrings::KeepAll);
      for (const std::string& entry : entries) checkFile(*property, i, entry, what);
    }
  }
  const std::pair<const CfgProperty*, const char*> single[] = {
      {&CfgProperties::splash, "splash file"},
      {&CfgProperties::mainzep, "main archive"},
  };
  for (const auto& [property, what] : single) {
    const CfgFile::Property* found = property->find(cfg);
    if (!found || found->second.empty()) continue;
    checkFile(*property, found->second.size() - 1, CfgFile::asString(*found), what);
  }
}
