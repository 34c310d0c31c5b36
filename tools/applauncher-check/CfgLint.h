// The lint pass over a configuration file. It observes the launcher's own
// parser and turns every line that the parser skips, or treats in a way a
// packager would not expect, into a finding; it remembers the line of every
// recorded value, so that checks of the loaded configuration can name it.
#ifndef LX_TOOLS_CHECKER_CFGLINT_H
#define LX_TOOLS_CHECKER_CFGLINT_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Report.h"
#include "share/native/applauncher/CfgFile.h"

struct CfgProperty;

class CfgLint final : public CfgFileObserver {
 public:
  // Findings go to `report` under `path`; `macros` are the launcher's.
  CfgLint(Report& report, std::string path, const CfgFile::Macros& macros);

  void line(std::int64_t number, std::string_view text) override;
  void section(std::int64_t number, std::string_view name, bool known) override;
  void property(std::int64_t number, std::string_view name, std::string_view value,
                bool recorded) override;
  void committed(const CfgFile::SectionId& section, bool replaced) override;

  // Reports what needs the whole file; call once the parser has finished.
  void finish();

  // Checks the loaded configuration (macros expanded): a main to start, and
  // the files its values name.
  void checkLoaded(const CfgFile& cfg);

 private:
  using Lines = std::map<std::string, std::vector<std::int64_t>>;

  // `message` is called only when the finding will be listed.
  template <class Message>
  void add(Severity severity, const char* code, std::int64_t line, Message message);
  void checkMacros(std::int64_t number, std::string_view value);
  // The lines of the values of a committed property, in order; none when unknown.
  const std::vector<std::int64_t>& valueLines(const CfgProperty& property) const;
  // A path that the runtime gets as written, from the value at `line` (0 when
  // unknown): relative, or missing.
  void checkFile(std::int64_t line, const std::string& path, const char* what);

  Report& report;
  std::string path;
  std::vector<std::string> macroNames;
  bool seenHeader = false;
  bool sectionKnown = false;
  std::string sectionName;  // of the last header
  bool byteOrderMark = false;
  std::int64_t firstCrLine = 0;
  std::int64_t crLines = 0;
  std::int64_t headerLine = 0;  // of the section occurrence being read
  Lines pending;                // value lines of that occurrence
  std::map<std::string, Lines> committedLines;
  std::map<std::string, std::int64_t> committedHeader;
  std::string lastFile;  // checked by checkFile, with its result
  bool lastFileExists = false;
};

#endif
