// String functions of the launcher. Strings are byte strings as the platform
// delivers them (UTF-8 paths and values); nothing here decodes characters
// (utf8CharLength only measures one).
// All functions are stateless.
#ifndef LX_SHARE_COMMON_TSTRINGS_H
#define LX_SHARE_COMMON_TSTRINGS_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tstrings {

enum CompareType : int { CaseSensitive = 0, CaseInsensitive = 1 };

// KeepAll appends every piece, empty ones included. Filtered drops the empty
// pieces and keeps every other one.
enum SplitType : int { KeepAll = 0, Filtered = 1 };

// Byte-wise equality; CaseInsensitive compares the toLower copies.
bool equals(const std::string& a, const std::string& b, CompareType type);

// Only the ASCII letters A to Z change; every other byte stays as it is.
std::string toLower(const std::string& str);

bool startsWith(const std::string& str, const std::string& prefix, CompareType type);
bool endsWith(const std::string& str, const std::string& suffix, CompareType type);

// Appends the pieces of `str` between non-overlapping occurrences of `delimiter`
// to `pieces`, which is never cleared. An empty string or delimiter appends nothing.
void split(std::vector<std::string>& pieces, const std::string& str, const std::string& delimiter,
           SplitType type);

// Replaces every occurrence of `search`, left to right; inserted text is not
// searched again. An empty search text returns the input unchanged.
std::string replace(const std::string& str, const std::string& search,
                    const std::string& replacement);

// Strips the bytes of `chars` from both ends.
std::string trim(const std::string& str, const std::string& chars);

// The elements joined with `delimiter`; an empty sequence gives an empty string.
template <class It>
std::string join(It first, It last, const std::string& delimiter) {
  std::string reply;
  for (It it = first; it != last; ++it) {
    if (it != first) reply += delimiter;
    reply += *it;
  }
  return reply;
}

// The length of the well-formed UTF-8 character that starts at text[pos]
// (1 for ASCII); 0 when none starts there: a stray continuation byte, an
// overlong form, a surrogate, a code point above U+10FFFF, or a character cut
// off by the end of `text`. `pos` must be below text.size().
std::size_t utf8CharLength(std::string_view text, std::size_t pos);

// printf-style formatting into a string of any length. Throws
// std::invalid_argument for a null format, and std::runtime_error when the
// formatter reports an error instead of a length.
std::string unsafe_format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tstrings

#endif
