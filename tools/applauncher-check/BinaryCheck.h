// Checks the launcher executable and the runtime library the launch would load
// as the Mac's loader meets them: which Macs find a slice of the library for
// the launcher's architecture, whether it exports the entry point and asks
// for no newer macOS than the launcher, whether the launcher exports what the
// library looks up, and whether arm64 code carries a code signature.
#ifndef LX_TOOLS_CHECKER_BINARYCHECK_H
#define LX_TOOLS_CHECKER_BINARYCHECK_H

#include <optional>
#include <string>

#include "Report.h"

// Adds the findings, and the files' facts to the plan. A launcher that is no
// Mach-O file (a build for Linux) skips the checks with a note.
void checkBinaries(const std::string& launcher, const std::optional<std::string>& library,
                   Report& report);

#endif
