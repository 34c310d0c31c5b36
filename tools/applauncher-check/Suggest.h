// "Did you mean": the known name that an unknown one most likely meant.
#ifndef LX_TOOLS_CHECKER_SUGGEST_H
#define LX_TOOLS_CHECKER_SUGGEST_H

#include <string>
#include <string_view>
#include <vector>

// The candidate that `name` equals but for case and surrounding white space,
// else the nearest one within two edits (insertions, deletions,
// replacements); empty when none is that close.
std::string closestName(std::string_view name, const std::vector<std::string>& candidates);

#endif
