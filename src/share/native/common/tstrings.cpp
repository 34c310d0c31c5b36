#include "tstrings.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

namespace tstrings {

bool equals(const std::string& a, const std::string& b, CompareType type) {
  if (type == CaseInsensitive) return toLower(a) == toLower(b);
  return a == b;
}

std::string toLower(const std::string& str) {
  std::string reply = str;
  // Fixed to ASCII so that the result never depends on the process locale.
  for (char& c : reply) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return reply;
}

bool startsWith(const std::string& str, const std::string& prefix, CompareType type) {
  if (str.size() < prefix.size()) return false;
  return equals(str.substr(0, prefix.size()), prefix, type);
}

bool endsWith(const std::string& str, const std::string& suffix, CompareType type) {
  if (str.size() < suffix.size()) return false;
  return equals(str.substr(str.size() - suffix.size()), suffix, type);
}

void split(std::vector<std::string>& pieces, const std::string& str, const std::string& delimiter,
           SplitType type) {
  if (str.empty() || delimiter.empty()) return;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type pos = str.find(delimiter, start);
    const bool last = pos == std::string::npos;
    std::string piece = str.substr(start, last ? std::string::npos : pos - start);
    if (type == KeepAll || !piece.empty()) pieces.push_back(std::move(piece));
    if (last) return;
    start = pos + delimiter.size();
  }
}

std::string replace(const std::string& str, const std::string& search,
                    const std::string& replacement) {
  if (search.empty()) return str;
  std::string reply;
  // Room for one longer replacement, the common case, so it needs no regrowth.
  reply.reserve(str.size() + std::max(replacement.size(), search.size()) - search.size());
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type pos = str.find(search, start);
    if (pos == std::string::npos) break;
    reply.append(str, start, pos - start);
    reply += replacement;
    start = pos + search.size();
  }
  reply.append(str, start, std::string::npos);
  return reply;
}

std::string trim(const std::string& str, const std::string& chars) {
  if (chars.empty()) return str;
  const std::string::size_type first = str.find_first_not_of(chars);
  if (first == std::string::npos) return std::string();
  const std::string::size_type last = str.find_last_not_of(chars);
  return str.substr(first, last - first + 1);
}

std::string unsafe_format(const char* format, ...) {
  if (!format) throw std::invalid_argument("Destination buffer can't be NULL");
  const std::size_t step = 256;
  std::string buffer(step, '\0');
  for (;;) {
    va_list args;
    va_start(args, format);
    const int len = std::vsnprintf(&buffer[0], buffer.size(), format, args);
    va_end(args);
    // A formatter error would never fit however large the buffer: give up at once.
    if (len < 0) throw std::runtime_error("vsnprintf() failed");
    if (static_cast<std::size_t>(len) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(len));
      return buffer;
    }
    // Grow in whole steps straight to the size the formatter asked for.
    buffer.resize((static_cast<std::size_t>(len) / step + 1) * step);
  }
}

std::size_t utf8CharLength(std::string_view text, std::size_t pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;  // the second byte's range, narrower after some leads
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() - pos < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[pos + i]);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

}  // namespace tstrings
