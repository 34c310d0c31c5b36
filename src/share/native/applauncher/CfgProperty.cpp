#include "CfgProperty.h"

const CfgFile::Property* CfgProperty::find(const CfgFile& cfg) const {
  const CfgFile::Properties& properties = cfg.getProperties(section);
  const auto found = properties.find(name);
  return found == properties.end() ? nullptr : &*found;
}

namespace CfgProperties {

const CfgProperty* find(std::string_view section, std::string_view name) {
  for (const CfgProperty& row : all) {
    if (section == row.section.name() && name == row.name.name()) return &row;
  }
  return nullptr;
}

const CfgProperty* find(std::string_view name) {
  for (const CfgProperty& row : all) {
    if (name == row.name.name()) return &row;
  }
  return nullptr;
}

}  // namespace CfgProperties
