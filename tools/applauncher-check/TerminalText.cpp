#include "TerminalText.h"

#include <cstdio>

namespace {

void appendHex(std::string& out, unsigned char byte) {
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\x%02x", byte);
  out += escape;
}

bool isPrintableAscii(unsigned char byte) { return byte >= 0x20 && byte < 0x7F; }

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at `text[pos]`, which is not
// ASCII; 0 when the bytes there are not one (overlong forms, surrogates and
// code points beyond U+10FFFF included).
std::size_t sequenceLength(std::string_view text, std::size_t pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (length == 0 || text.size() - pos < length) return 0;
  const unsigned char second = static_cast<unsigned char>(text[pos + 1]);
  if (second < low || second > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!isContinuation(static_cast<unsigned char>(text[pos + i]))) return 0;
  }
  return length;
}

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
    } else if (const std::size_t length = sequenceLength(text, pos); length == 0) {
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
