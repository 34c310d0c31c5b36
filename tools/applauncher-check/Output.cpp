#include "Output.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

#include "TerminalText.h"
#include "share/native/common/tstrings.h"

namespace {

std::string shown(const std::string& text) { return forTerminal(text); }
std::string shown(const std::optional<std::string>& text) { return text ? shown(*text) : "(none)"; }

// Compact, with bytes that are not UTF-8 replaced by U+FFFD.
std::string dumped(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The same for a string; one without characters to escape, as most long
// arguments are, is written as it is, without a copy.
void writeString(std::ostream& out, const std::string& text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
  });
  if (plain) {
    out << '"' << text << '"';
  } else {
    out << dumped(text);
  }
}

nlohmann::json orNull(const std::optional<std::string>& text) {
  return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

std::string joined(const std::vector<std::string>& names) {
  return tstrings::join(names.begin(), names.end(), " ");
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
  const nlohmann::json summary = {
      {"errors", report.count(Severity::Error)},
      {"warnings", report.count(Severity::Warning)},
      {"notes", report.count(Severity::Note)},
  };
  // Written field by field and finding by finding: a large file can give
  // hundreds of thousands of findings, too many to hold as one tree.
  const auto field = [&out](const char* key, const nlohmann::json& value) {
    out << "  \"" << key << "\": " << dumped(value) << ",\n";
  };
  out << "{\n";
  field("bundle", plan.bundle);
  field("launcher", orNull(plan.launcher));
  field("config", orNull(plan.config));
  field("runtimeDirectory", orNull(plan.runtimeDirectory));
  field("library", orNull(plan.library));
  out << "  \"arguments\": [";
  for (std::size_t i = 0; i < plan.arguments.size(); ++i) {
    if (i > 0) out << ',';
    writeString(out, plan.arguments[i]);
  }
  out << "],\n";
  field("environment", environment);
  field("launches", report.launches());
  field("summary", summary);
  field("binaries",
        {{"launcher", orNull(plan.launcherBinary)}, {"library", orNull(plan.libraryBinary)}});
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
