#include "Suggest.h"

#include <algorithm>

#include "share/native/common/tstrings.h"

namespace {

std::string folded(std::string_view name) {
  return tstrings::toLower(tstrings::trim(std::string(name), " \t\r\v\f"));
}

// Edit distance by the usual dynamic programme; callers keep the texts short.
std::size_t distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string closestName(std::string_view name, const std::vector<std::string>& candidates) {
  const std::string key = folded(name);
  for (const std::string& candidate : candidates) {
    if (key == folded(candidate)) return candidate;
  }
  std::string best;
  std::size_t bestDistance = 3;
  for (const std::string& candidate : candidates) {
    // Two edits change the length by two at most; this also keeps long lines cheap.
    const std::size_t gap = name.size() > candidate.size() ? name.size() - candidate.size()
                                                           : candidate.size() - name.size();
    if (gap > 2) continue;
    const std::size_t d = distance(name, candidate);
    if (d < bestDistance) {
      best = candidate;
      bestDistance = d;
    }
  }
  return best;
}
