// What each property means to the launcher: the section where it belongs,
// whether its last value or each of its values counts, and whether a value
// names a file or a list of files. The launcher reads its configuration
// through these rows and the checker lints by them, so both hold one meaning.
#ifndef LX_SHARE_APPLAUNCHER_CFGPROPERTY_H
#define LX_SHARE_APPLAUNCHER_CFGPROPERTY_H

#include <string_view>

#include "CfgFile.h"

struct CfgProperty {
  // Which values the launcher uses.
  enum class Values { Last, Each };
  // What a value names: text, one path, or paths joined with the path separator.
  enum class Kind { Text, Path, PathList };

  CfgFile::SectionId section;
  CfgFile::PropertyId name;
  Values values;
  Kind kind;
  bool read;  // false: recognised and stored, but no launch uses it

  // The property in `cfg` under this row's section, or null when absent.
  const CfgFile::Property* find(const CfgFile& cfg) const;
};

namespace CfgProperties {
using Values = CfgProperty::Values;
using Kind = CfgProperty::Kind;

inline constexpr CfgProperty version{SectionName::Application, PropertyName::version, Values::Last,
                                     Kind::Text, false};
inline constexpr CfgProperty mainzep{SectionName::Application, PropertyName::mainzep, Values::Last,
                                     Kind::Path, true};
inline constexpr CfgProperty mainmodule{SectionName::Application, PropertyName::mainmodule,
                                        Values::Last, Kind::Text, true};
inline constexpr CfgProperty mainclass{SectionName::Application, PropertyName::mainclass,
                                       Values::Last, Kind::Text, true};
inline constexpr CfgProperty classpath{SectionName::Application, PropertyName::classpath,
                                       Values::Each, Kind::PathList, true};
inline constexpr CfgProperty modulepath{SectionName::Application, PropertyName::modulepath,
                                        Values::Each, Kind::PathList, true};
inline constexpr CfgProperty runtime{SectionName::Application, PropertyName::runtime, Values::Last,
                                     Kind::Path, true};
inline constexpr CfgProperty splash{SectionName::Application, PropertyName::splash, Values::Last,
                                    Kind::Path, true};
inline constexpr CfgProperty memory{SectionName::Application, PropertyName::memory, Values::Last,
                                    Kind::Text, false};
inline constexpr CfgProperty vexaOptions{SectionName::VexaOptions, PropertyName::vexaOptions,
                                         Values::Each, Kind::Text, true};
inline constexpr CfgProperty arguments{SectionName::ArgOptions, PropertyName::arguments,
                                       Values::Each, Kind::Text, true};

// Every row. A property may belong in several sections; its first row is
// where the launcher reads it.
inline constexpr CfgProperty all[] = {
    version,
    mainzep,
    mainmodule,
    mainclass,
    classpath,
    modulepath,
    runtime,
    splash,
    memory,
    vexaOptions,
    {SectionName::AppCDSVexaOptions, PropertyName::vexaOptions, Values::Each, Kind::Text, false},
    {SectionName::AppCDSGenerateCacheVexaOptions, PropertyName::vexaOptions, Values::Each,
     Kind::Text, false},
    arguments,
};

// The row of `name` under `section`, or null when the property does not belong there.
const CfgProperty* find(std::string_view section, std::string_view name);
// The first row of `name`, or null for a name outside the property table.
const CfgProperty* find(std::string_view name);
}  // namespace CfgProperties

#endif
