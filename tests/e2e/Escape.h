// How the test runtime writes bytes into its record: printable ASCII as it
// is, every other byte and the backslash as \xHH, so a record line can carry
// any argument byte for byte.
#ifndef LX_TESTS_E2E_ESCAPE_H
#define LX_TESTS_E2E_ESCAPE_H

#include <cstdio>
#include <string>

inline std::string escapeBytes(const std::string& bytes) {
  std::string reply;
  for (const char c : bytes) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7f || c == '\\') {
      char hex[5];
      std::snprintf(hex, sizeof(hex), "\\x%02x", u);
      reply += hex;
    } else {
      reply += c;
    }
  }
  return reply;
}

#endif
