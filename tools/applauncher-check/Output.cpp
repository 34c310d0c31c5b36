#include "Output.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

namespace {

std::string shown(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out;
}

std::string shown(const std::optional<std::string>& text) { return text ? shown(*text) : "(none)"; }

// Compact, with bytes that are not UTF-8 replaced by U+FFFD.
std::string dumped(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json orNull(const std::optional<std::string>& text) {
  return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

// "x86_64 arm64, macOS 11.0 or later, x86_64 unsigned", or "..., signed".
std::string shown(const std::optional<BinaryFacts>& facts) {
  if (!facts) return "(none)";
  std::string text = joined(facts->architectures);
  if (facts->minimumMacOS) text += ", macOS " + *facts->minimumMacOS + " or later";
  const bool whole = facts->unsignedSlices.empty();
  return text + ", " + (whole ? "signed" : joined(facts->unsignedSlices) + " unsigned");
}

nlohmann::json orNull(const std::optional<BinaryFacts>& facts) {
  if (!facts) return nullptr;
  return {{"architectures", facts->architectures},
          {"minimumMacOS", orNull(facts->minimumMacOS)},
          {"signed", facts->unsignedSlices.empty()}};
}

}  // namespace

void writeText(std::ostream& out, const Report& report) {
  for (const Finding& f : report.findings()) {
    out << shown(f.file);
    if (f.line > 0) out << ':' << f.line;
    out << ": " << severityName(f.severity) << ": " << shown(f.message) << " [" << f.code << "]\n";
  }
  const Plan& plan = report.plan;
  out << "launcher: " << shown(plan.launcher) << '\n'
      << "configuration: " << shown(plan.config) << '\n'
      << "runtime directory: " << shown(plan.runtimeDirectory) << '\n'
      << "runtime library: " << shown(plan.library) << '\n'
      << "launcher binary: " << shown(plan.launcherBinary) << '\n'
      << "library binary: " << shown(plan.libraryBinary) << '\n';
  for (std::size_t i = 0; i < plan.arguments.size(); ++i) {
    out << "argument " << i << ": " << shown(plan.arguments[i]) << '\n';
  }
  for (const auto& [name, value] : plan.environment) {
    out << "environment: " << shown(name) << '=' << shown(value) << '\n';
  }
  out << report.count(Severity::Error) << " error(s), " << report.count(Severity::Warning)
      << " warning(s)\n";
}

void writeJson(std::ostream& out, const Report& report) {
  const Plan& plan = report.plan;
  nlohmann::json environment = nlohmann::json::object();
  for (const auto& [name, value] : plan.environment) environment[name] = value;
  const std::pair<const char*, nlohmann::json> fields[] = {
      {"bundle", plan.bundle},           {"launcher", orNull(plan.launcher)},
      {"config", orNull(plan.config)},   {"runtimeDirectory", orNull(plan.runtimeDirectory)},
      {"library", orNull(plan.library)}, {"arguments", plan.arguments},
      {"environment", environment},      {"launches", report.launches()},
  };
  // Written field by field and finding by finding: a large file can give
  // hundreds of thousands of findings, too many to hold as one tree.
  out << "{\n";
  for (const auto& [key, value] : fields) out << "  \"" << key << "\": " << dumped(value) << ",\n";
  const nlohmann::json binaries = {{"launcher", orNull(plan.launcherBinary)},
                                   {"library", orNull(plan.libraryBinary)}};
  out << "  \"binaries\": " << dumped(binaries) << ",\n";
  out << "  \"findings\": [";
  const char* separator = "\n    ";
  for (const Finding& f : report.findings()) {
    const nlohmann::json finding = {
        {"severity", severityName(f.severity)},
        {"code", f.code},
        {"file", f.file},
        {"line", f.line > 0 ? nlohmann::json(f.line) : nlohmann::json(nullptr)},
        {"message", f.message},
    };
    out << separator << dumped(finding);
    separator = ",\n    ";
  }
  out << (report.findings().empty() ? "]" : "\n  ]") << "\n}\n";
}

int exitStatus(const Report& report, bool strict) {
  const bool clean = report.launches() && !(strict && report.count(Severity::Warning) > 0);
  return clean ? 0 : 1;
}
