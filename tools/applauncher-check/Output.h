// The checker's two outputs: lines for people, one JSON object for pipelines.
#ifndef LX_TOOLS_CHECKER_OUTPUT_H
#define LX_TOOLS_CHECKER_OUTPUT_H

#include <iosfwd>

#include "Report.h"

// One line per finding, the plan, then "<N> error(s), <M> warning(s)",
// counting every finding. Text from the bundle is escaped (forTerminal).
void writeText(std::ostream& out, const Report& report);

// One JSON object and a line feed; bytes that are not UTF-8 become U+FFFD.
// Its "summary" counts every finding, listed or not, by severity.
void writeJson(std::ostream& out, const Report& report);

// 0 when the bundle would launch, else 1; with `strict` warnings count too.
int exitStatus(const Report& report, bool strict);

#endif
