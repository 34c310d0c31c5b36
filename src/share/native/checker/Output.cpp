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

std::string shown(const std::optional<std::string>& text) {
  return text ? shown(*text) : "(none)";
}

nlohmann::ordered_json orNull(const std::optional<std::string>& text) {
  return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
}

}  // namespace

void writeText(std::ostream& out, const Report& report) {
  for (const Finding& f : report.findings()) {
    out << shown(f.file);
    if (f.line > 0) out << ':' << f.line;
    out << ": " << severityName(f.severity) << ": " << shown(f.message) << " [" << f.code
        << "]\n";
  }
  const Plan& plan = report.plan;
  out << "launcher: " << shown(plan.launcher) << '\n'
      << "configuration: " << shown(plan.config) << '\n'
      << "runtime directory: " << shown(plan.runtimeDirectory) << '\n'
      << "runtime library: " << shown(plan.library) << '\n';
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
  nlohmann::ordered_json environment = nlohmann::ordered_json::object();
  for (const auto& [name, value] : plan.environment) environment[name] = value;
  nlohmann::ordered_json findings = nlohmann::ordered_json::array();
  for (const Finding& f : report.findings()) {
    findings.push_back({{"severity", severityName(f.severity)},
                        {"code", f.code},
                        {"file", f.file},
                        {"line", f.line > 0 ? nlohmann::ordered_json(f.line) : nlohmann::ordered_json(nullptr)},
                        {"message", f.message}});
  }
  const nlohmann::ordered_json object = {
      {"bundle", plan.bundle},
      {"launcher", orNull(plan.launcher)},
      {"config", orNull(plan.config)},
      {"runtimeDirectory", orNull(plan.runtimeDirectory)},
      {"library", orNull(plan.library)},
      {"arguments", plan.arguments},
      {"environment", environment},
      {"launches", report.launches()},
      {"findings", findings},
  };
  out << object.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

int exitStatus(const Report& report, bool strict) {
  const bool clean = report.launches() && !(strict && report.count(Severity::Warning) > 0);
  return clean ? 0 : 1;
}
