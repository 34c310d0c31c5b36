#include "CfgLint.h"

#include <algorithm>
#include <cctype>

#include "Suggest.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/tstrings.h"

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

// Properties of which the launcher uses the last value only.
bool isSingleValued(std::string_view name) {
  return name != PropertyName::classpath.name() && name != PropertyName::modulepath.name() &&
         name != PropertyName::arguments.name() && name != PropertyName::vexaOptions.name();
}

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
  lastNumber = number;
  lastText.assign(text);
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
    std::vector<std::int64_t>& lines = pending[std::string(name)];
    if (!lines.empty() && isSingleValued(name)) {
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

const std::vector<std::int64_t>& CfgLint::valueLines(const CfgFile::SectionId& section,
                                                     const CfgFile::PropertyId& property) const {
  static const std::vector<std::int64_t> none;
  const auto s = committedLines.find(section.name());
  if (s == committedLines.end()) return none;
  const auto p = s->second.find(property.name());
  return p == s->second.end() ? none : p->second;
}

void CfgLint::checkFile(std::int64_t line, const std::string& file, const char* what) {
  if (file.empty()) return;
  // A path list may repeat one entry a million times; stat it once.
  if (file != lastFile) {
    lastFile = file;
    lastFileExists = FileUtils::isFileExists(file);
  }
  if (lastFileExists) return;
  const bool relative = !FileUtils::isDirSeparator(file[0]);
  add(Severity::Warning, "missing-file", line, [&]() -> std::string {
    return std::string(what) + " \"" + file + "\" does not exist" +
           (relative ? " (a relative path is taken from the working directory at launch)" : "");
  });
}

void CfgLint::checkLoaded(const CfgFile& cfg) {
  const CfgFile::Properties& app = cfg.getProperties(SectionName::Application);
  if (!app.count(PropertyName::mainclass) && !app.count(PropertyName::mainmodule) &&
      !app.count(PropertyName::mainzep)) {
    add(Severity::Error, "no-main", 0, [&]() -> std::string {
      return std::string("[Application] names nothing to start: none of ") +
             PropertyName::mainclass.name() + ", " + PropertyName::mainmodule.name() + ", " +
             PropertyName::mainzep.name();
    });
  }
  const std::pair<const CfgFile::PropertyId*, const char*> pathLists[] = {
      {&PropertyName::classpath, "class-path entry"},
      {&PropertyName::modulepath, "module-path entry"},
  };
  for (const auto& [property, what] : pathLists) {
    const auto found = app.find(*property);
    if (found == app.end()) continue;
    const std::vector<std::int64_t>& lines = valueLines(SectionName::Application, *property);
    for (std::size_t i = 0; i < found->second.size(); ++i) {
      // Entry by entry, without a list of them: a value can hold millions.
      const std::string& value = found->second[i];
      for (std::size_t start = 0, end = 0; start <= value.size(); start = end + 1) {
        end = std::min(value.find(FileUtils::pathSeparator, start), value.size());
        checkFile(lineAt(lines, i), value.substr(start, end - start), what);
      }
    }
  }
  const std::pair<const CfgFile::PropertyId*, const char*> single[] = {
      {&PropertyName::splash, "splash file"},
      {&PropertyName::mainzep, "main archive"},
  };
  for (const auto& [property, what] : single) {
    const auto found = app.find(*property);
    if (found == app.end() || found->second.empty()) continue;
    const std::vector<std::int64_t>& lines = valueLines(SectionName::Application, *property);
    checkFile(lineAt(lines, found->second.size() - 1), CfgFile::asString(*found), what);
  }
}
