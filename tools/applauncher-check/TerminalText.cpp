#include "TerminalText.h"

#include <cstdio>

#include "share/native/common/tstrings.h"

namespace {

void appendHex(std::string& out, unsigned char byte) {
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\x%02x", byte);
  out += escape;
}

bool isPrintableAscii(unsigned char byte) { return byte >= 0x20 && byte < 0x7F; }

}  // namespace

std::string forTerminal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[pos]);
    if (isPrintableAscii(byte)) {
      // A run of printable ASCII at once: values can be megabytes long.
      std::size_t end = pos + 1;
      while (end < text.size() && isPrintableAscii(static_cast<unsigned char>(text[end]))) ++end;
      out.append(text, pos, end - pos);
      pos = end;
    } else if (byte == '\r' || byte == '\n' || byte == '\t') {
      out += byte == '\r' ? "\\r" : byte == '\n' ? "\\n" : "\\t";
      ++pos;
    } else if (byte < 0x80) {
      appendHex(out, byte);
      ++pos;
    } else if (const std::size_t length = tstrings::utf8CharLength(text, pos); length == 0) {
      appendHex(out, byte);
      ++pos;
    } else if (byte == 0xC2 && static_cast<unsigned char>(text[pos + 1]) < 0xA0) {
      // U+0080..U+009F, the C1 controls.
      appendHex(out, byte);
      appendHex(out, static_cast<unsigned char>(text[pos + 1]));
      pos += 2;
    } else {
      out.append(text, pos, length);
      pos += length;
    }
  }
  return out;
}
