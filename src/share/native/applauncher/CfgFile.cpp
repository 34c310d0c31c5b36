#include "CfgFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <istream>
#include <optional>
#include <string_view>

#include "share/native/common/ErrorHandling.h"
#include "share/native/common/FileUtils.h"
#include "share/native/common/InputFile.h"
#include "share/native/common/Log.h"
#include "share/native/common/tstrings.h"

namespace {

using SectionMap = std::map<CfgFile::SectionId, CfgFile::Properties>;

// Stands for "no known section": property lines under it are skipped.
constexpr CfgFile::SectionId UnknownSection("");

[[noreturn]] void fail(const tstrings::any& message, const SourceCodePos& pos, CfgFileFailure kind,
                       std::int64_t line) {
  throw CfgFileError(makeException(message, pos), kind, line);
}

// The table entry named exactly `name`, or null.
template <class IdType, std::size_t size>
const IdType* findName(const IdType (&table)[size], std::string_view name) {
  for (const IdType& id : table) {
    if (name == id.name()) return &id;
  }
  return nullptr;
}

// Commits the pending properties of the current section. An occurrence
// without recognised properties leaves an earlier occurrence's entry alone.
void PurgeSection(SectionMap& data, const CfgFile::SectionId& section, CfgFile::Properties& pending,
                  CfgFileObserver* observer) {
  if (section == UnknownSection || pending.empty()) return;
  CfgFile::Properties& entry = data[section];
  if (observer) observer->committed(section, !entry.empty());
  entry = std::move(pending);
  pending.clear();  // a moved-from map is only valid, not necessarily empty
}

// Records one property line; the value is copied only when it is kept.
// Returns whether it was.
bool AddProperty(CfgFile::Properties& pending, const CfgFile::SectionId& section,
                 std::string_view name, std::string_view value) {
  if (section == UnknownSection) return false;
  const CfgFile::PropertyId* property = findName(PropertyName::all, name);
  if (property) pending[*property].emplace_back(value);
  return property != nullptr;
}

bool containsMacro(const std::string& value, const CfgFile::Macros& macros) {
  return std::any_of(macros.begin(), macros.end(), [&value](const CfgFile::Macros::value_type& m) {
    return !m.first.empty() && value.find(m.first) != std::string::npos;
  });
}

// The macros whose expansion never settles: what is left after dropping,
// until nothing changes, every macro whose replacement names none of the rest.
CfgFile::Macros endlessMacros(const CfgFile::Macros& macros) {
  CfgFile::Macros endless = macros;
  for (auto it = endless.begin(); it != endless.end();) {
    if (containsMacro(it->second, endless)) {
      ++it;
    } else {
      endless.erase(it);
      it = endless.begin();
    }
  }
  return endless;
}

// One pass over `in`: every macro in name order replaces all its occurrences.
// Returns false when no macro name occurs, leaving `out` alone; otherwise
// `out` holds the result, which may still equal `in`.
bool applyPass(const std::string& in, std::string& out, const CfgFile::Macros& macros) {
  const std::string* current = &in;
  for (const auto& [name, replacement] : macros) {
    // Skipping absent names saves replace()'s copy for the common value.
    if (!name.empty() && current->find(name) != std::string::npos) {
      out = tstrings::replace(*current, name, replacement);
      current = &out;
    }
  }
  return current != &in;
}

// One left-to-right substitution in which inserted text is never scanned
// again; at each position the first matching name in name order wins.
std::string substituteOnce(const std::string& value, const CfgFile::Macros& macros) {
  std::string reply;
  reply.reserve(value.size());
  for (std::string::size_type pos = 0; pos < value.size();) {
    const auto match = std::find_if(
        macros.begin(), macros.end(), [&value, pos](const CfgFile::Macros::value_type& m) {
          return !m.first.empty() && value.compare(pos, m.first.size(), m.first) == 0;
        });
    if (match == macros.end()) {
      reply += value[pos];
      ++pos;
    } else {
      reply += match->second;
      pos += match->first.size();
    }
  }
  return reply;
}

void expandValue(std::string& value, const CfgFile::Macros& macros, const CfgFile::Macros& endless,
                 const CfgFile::SectionId& section, const CfgFile::PropertyId& property) {
  // A value that names an endless macro and grows in a pass would grow on in
  // every further pass, by a factor when a replacement names its macro more
  // than once (an installation path with "$APPDIR" in several of its names):
  // it goes to the single substitution at once instead.
  const bool namesEndless = containsMacro(value, endless);
  // The passes work on `current` and `next`; `value` keeps the original for
  // the fallback below until the expansion has settled.
  std::string current;
  std::string next;
  const std::string* in = &value;
  // An acyclic table settles within one pass per macro plus the pass that
  // finds nothing left to change; a value still changing after that comes
  // from a table that refers to itself.
  for (std::size_t pass = 0; pass <= macros.size(); ++pass) {
    if (!applyPass(*in, next, macros) || next == *in) {
      if (in != &value) value = std::move(current);
      return;
    }
    if (namesEndless && next.size() > in->size()) break;
    current.swap(next);
    in = &current;
  }
  LX_TRACE("Macros refer to themselves in a value of [" << section.name() << "] " << property.name()
                                                        << "; expanded without rescanning");
  value = substituteOnce(value, macros);
}

}  // namespace

CfgFile CfgFile::load(const std::string& path, CfgFileObserver* observer) {
  std::optional<InputFile> stream;
  try {
    stream.emplace(path);
  } catch (const LxError<std::runtime_error>& e) {
    const bool missing = FileUtils::isMissing(path);
    throw CfgFileError(e, missing ? CfgFileFailure::Missing : CfgFileFailure::Unreadable, 0);
  }
  return parse(*stream, path, observer);
}

CfgFile CfgFile::parse(std::istream& stream, const std::string& path, CfgFileObserver* observer) {
  CfgFile cfg;
  SectionId section = UnknownSection;
  Properties pending;
  // 64 bits: a file of more than 2^31 lines is legal and must not overflow.
  std::int64_t lineNumber = 0;
  std::string line;  // reused, so reading costs no allocation per line
  while (std::getline(stream, line)) {
    ++lineNumber;
    if (observer) observer->line(lineNumber, line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const std::string::size_type end = line.rfind(']');
      if (end == std::string::npos) {
        fail(tstrings::any() << "Error parsing [" << path << "] file at " << lineNumber
                             << ": Missing ']' character",
             LX_SOURCE_POS, CfgFileFailure::Syntax, lineNumber);
      }
      PurgeSection(cfg.data, section, pending, observer);
      const std::string_view name = std::string_view(line).substr(1, end - 1);
      const SectionId* known = findName(SectionName::all, name);
      section = known ? *known : UnknownSection;
      if (observer) observer->section(lineNumber, name, known != nullptr);
      continue;
    }
    std::string::size_type equals = line.find('=');
    while (equals != std::string::npos && equals > 0 && line[equals - 1] == '\\') {
      equals = line.find('=', equals + 1);
    }
    const std::string_view text(line);
    const std::string_view name = text.substr(0, equals);
    const std::string_view value =
        equals == std::string::npos ? std::string_view() : text.substr(equals + 1);
    // Values reach the runtime as C strings, which a NUL would cut short.
    if (value.find('\0') != std::string_view::npos && section != UnknownSection &&
        findName(PropertyName::all, name)) {
      fail(tstrings::any() << "Error parsing [" << path << "] file at " << lineNumber
                           << ": NUL character in the value of " << name,
           LX_SOURCE_POS, CfgFileFailure::Nul, lineNumber);
    }
    const bool recorded = AddProperty(pending, section, name, value);
    if (observer) observer->property(lineNumber, name, value, recorded);
  }
  if (stream.bad() || !stream.eof()) {
    // A line that outgrows memory ends the stream too; malloc leaves ENOMEM.
    const CfgFileFailure kind =
        errno == ENOMEM ? CfgFileFailure::OutOfMemory : CfgFileFailure::Unreadable;
    const std::string reason = lastCRTError();
    fail(tstrings::any() << "Failed to read \"" << path << "\" file up to the end: " << reason,
         LX_SOURCE_POS, kind, 0);
  }
  PurgeSection(cfg.data, section, pending, observer);
  return cfg;
}

const CfgFile::Properties& CfgFile::getProperties(const SectionId& section) const {
  const auto found = data.find(section);
  return found == data.end() ? emptyProperties : found->second;
}

CfgFile& CfgFile::setPropertyValue(const SectionId& section, const PropertyId& property,
                                   const std::vector<std::string>& values) {
  data[section][property] = values;
  return *this;
}

CfgFile CfgFile::expandMacros(const Macros& macros) const& {
  CfgFile copy(*this);
  copy.expandValues(macros);
  return copy;
}

CfgFile CfgFile::expandMacros(const Macros& macros) && {
  expandValues(macros);
  return std::move(*this);
}

void CfgFile::expandValues(const Macros& macros) {
  const Macros endless = endlessMacros(macros);
  for (auto& [section, properties] : data) {
    for (auto& [property, values] : properties) {
      for (std::string& value : values) expandValue(value, macros, endless, section, property);
    }
  }
}

std::string CfgFile::asString(const Property& property) {
  return property.second.empty() ? std::string() : property.second.back();
}

std::string CfgFile::asPathList(const Property& property) {
  return tstrings::join(property.second.begin(), property.second.end(),
                        std::string(1, FileUtils::pathSeparator));
}
