// The launcher configuration file: a set of known sections, each a set of
// known properties, each property an ordered list of text values. Only the
// names of the SectionName and PropertyName tables are kept; everything else
// in the file is skipped. A CfgFile is a plain value and owns all its text.
#ifndef LX_SHARE_APPLAUNCHER_CFGFILE_H
#define LX_SHARE_APPLAUNCHER_CFGFILE_H

#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "share/native/common/ErrorHandling.h"

class CfgFileObserver;
class CfgFileError;

class CfgFile {
 public:
  struct SectionNameTag;
  struct PropertyNameTag;

  // A typed name: section and property names cannot be mixed up. Holds a
  // pointer to a constant null-terminated text that must outlive it. Equality
  // and order are those of the texts, byte-wise; their addresses play no part.
  template <class Tag>
  class Id {
   public:
    explicit constexpr Id(const char* name) : text(name) {}

    const char* name() const { return text; }

    bool operator==(const Id& other) const { return std::strcmp(text, other.text) == 0; }
    bool operator!=(const Id& other) const { return !(*this == other); }
    bool operator<(const Id& other) const { return std::strcmp(text, other.text) < 0; }

   private:
    const char* text;
  };

  using SectionId = Id<SectionNameTag>;
  using PropertyId = Id<PropertyNameTag>;

  using Properties = std::map<PropertyId, std::vector<std::string>>;
  // One property as handed to asString and asPathList.
  using Property = Properties::value_type;
  // Macro name (the exact text searched for) to replacement text.
  using Macros = std::map<std::string, std::string>;

  // Opens and parses the file at `path`, which must be a regular file,
  // telling `observer`, when given, what the parser makes of each line. Throws
  // CfgFileError with "Error opening", "Error parsing" (a header without "]",
  // a known value holding a NUL byte) or "Failed to read" messages.
  static CfgFile load(const std::string& path, CfgFileObserver* observer = nullptr);

  // Parses a configuration read from `stream`; `path` only names it in
  // messages. Throws like load, except for "Error opening".
  static CfgFile parse(std::istream& stream, const std::string& path,
                       CfgFileObserver* observer = nullptr);

  // The properties of `section`, or an empty map (always the same one) when
  // the configuration lacks it. The reference lives as long as this object.
  const Properties& getProperties(const SectionId& section) const;

  // Replaces the values of one property, creating the section and the
  // property when absent.
  CfgFile& setPropertyValue(const SectionId& section, const PropertyId& property,
                            const std::vector<std::string>& values);

  // A copy in which every value has its macros replaced, pass after pass
  // until a pass changes nothing. A value still changing after (number of
  // macros + 1) passes, or growing in a pass while it names a macro whose
  // replacement text leads back, directly or through other replacement
  // texts, to a macro's own name, is instead expanded by one left-to-right
  // substitution whose inserted text is never scanned again, so the
  // expansion always ends, without repeated growth.
  CfgFile expandMacros(const Macros& macros) const&;
  // The same for a configuration about to go away, such as the one just
  // loaded: its values are expanded where they are, without a copy.
  CfgFile expandMacros(const Macros& macros) &&;

  // The last value; an empty string for an empty list.
  static std::string asString(const Property& property);

  // All values joined with FileUtils::pathSeparator.
  static std::string asPathList(const Property& property);

 private:
  void expandValues(const Macros& macros);

  std::map<SectionId, Properties> data;
  Properties emptyProperties;
};

// What the parser makes of a configuration, line by line, for tools that
// explain a file; the launcher itself passes none. Line numbers start at 1.
class CfgFileObserver {
 public:
  virtual ~CfgFileObserver() = default;
  // Every line as read, without its line feed, before it is treated.
  virtual void line(std::int64_t number, std::string_view text) = 0;
  // A section header; `known` is false for a name outside the section table.
  virtual void section(std::int64_t number, std::string_view name, bool known) = 0;
  // A property line as split; `recorded` is false when it was skipped.
  virtual void property(std::int64_t number, std::string_view name, std::string_view value,
                        bool recorded) = 0;
  // The properties of the section occurrence that ends here were committed;
  // `replaced` when they replaced what earlier occurrences recorded.
  virtual void committed(const CfgFile::SectionId& section, bool replaced) = 0;
};

// Why a configuration could not be loaded.
enum class CfgFileFailure {
  Missing,      // nothing at the path
  Unreadable,   // there, but not to be opened as a regular file, or reading failed
  OutOfMemory,  // memory ran out while reading: nothing is known about the file
  Syntax,       // a header without "]"
  Nul,          // a NUL byte in a known property's value
};

// The parser's verdict on a configuration it could not load: the launcher's
// message, its kind and the line it concerns (0 for none).
class CfgFileError : public LxError<std::runtime_error> {
 public:
  CfgFileError(const LxError<std::runtime_error>& error, CfgFileFailure kind, std::int64_t line)
      : LxError<std::runtime_error>(error), failureKind(kind), lineNumber(line) {}

  CfgFileFailure kind() const { return failureKind; }
  std::int64_t line() const { return lineNumber; }

 private:
  CfgFileFailure failureKind;
  std::int64_t lineNumber;
};

// The known section names.
namespace SectionName {
inline constexpr CfgFile::SectionId Application("Application");
inline constexpr CfgFile::SectionId VexaOptions("VexaOptions");
inline constexpr CfgFile::SectionId AppCDSVexaOptions("AppCDSVexaOptions");
inline constexpr CfgFile::SectionId AppCDSGenerateCacheVexaOptions(
    "AppCDSGenerateCacheVexaOptions");
inline constexpr CfgFile::SectionId ArgOptions("ArgOptions");
// The section table: every name above.
inline constexpr CfgFile::SectionId all[] = {
    Application, VexaOptions, AppCDSVexaOptions, AppCDSGenerateCacheVexaOptions, ArgOptions,
};
}  // namespace SectionName

// The known property names; every one is accepted in every known section.
namespace PropertyName {
inline constexpr CfgFile::PropertyId version("app.version");
inline constexpr CfgFile::PropertyId mainzep("app.mainzep");
inline constexpr CfgFile::PropertyId mainmodule("app.mainmodule");
inline constexpr CfgFile::PropertyId mainclass("app.mainclass");
inline constexpr CfgFile::PropertyId classpath("app.classpath");
inline constexpr CfgFile::PropertyId modulepath("app.modulepath");
inline constexpr CfgFile::PropertyId runtime("app.runtime");
inline constexpr CfgFile::PropertyId splash("app.splash");
inline constexpr CfgFile::PropertyId memory("app.memory");
inline constexpr CfgFile::PropertyId arguments("arguments");
inline constexpr CfgFile::PropertyId vexaOptions("vexa-options");
// The property table: every name above.
inline constexpr CfgFile::PropertyId all[] = {
    version, mainzep, mainmodule, mainclass, classpath,   modulepath,
    runtime, splash,  memory,     arguments, vexaOptions,
};
}  // namespace PropertyName

#endif
