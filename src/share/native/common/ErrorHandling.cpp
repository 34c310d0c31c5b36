#include "ErrorHandling.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "Log.h"

namespace {

// The text after the last "/" or "\\" of a position's file.
std::string getFilename(const SourceCodePos& pos) {
  const std::string file = pos.file;
  const std::string::size_type sep = file.find_last_of("/\\");
  return sep == std::string::npos ? file : file.substr(sep + 1);
}

void reportError(const SourceCodePos& pos, const std::string& text) {
  Logger::defaultLogger().log(Logger::LOG_ERROR, getFilename(pos).c_str(), pos.line, pos.function,
                              text);
}

bool isSpace(char c) {
  // Bytes of 0x80 and above are never whitespace, whatever the locale.
  return std::isspace(static_cast<unsigned char>(c)) != 0 && static_cast<unsigned char>(c) < 0x80;
}

// what() is a C string, which a NUL would cut short: it is shown as \0.
std::string withVisibleNul(std::string text) {
  for (auto nul = text.find('\0'); nul != std::string::npos; nul = text.find('\0', nul + 2)) {
    text.replace(nul, 1, "\\0");
  }
  return text;
}

}  // namespace

std::string makeMessage(const std::runtime_error& e, const SourceCodePos& pos) {
  std::ostringstream reply;
  reply << getFilename(pos) << "(" << pos.line << ") at " << pos.function << "(): " << e.what();
  return reply.str();
}

LxError<std::runtime_error> makeException(const tstrings::any& message, const SourceCodePos& pos) {
  return LxError<std::runtime_error>(std::runtime_error(withVisibleNul(message.str())), pos);
}

LxError<std::runtime_error> makeException(const char* message, const SourceCodePos& pos) {
  return LxError<std::runtime_error>(std::runtime_error(message), pos);
}

void reportError(const SourceCodePos& pos, const std::runtime_error& e) {
  reportError(pos, (tstrings::any() << "Exception with message '" << e.what() << "' caught").str());
}

void reportUnknownError(const SourceCodePos& pos) { reportError(pos, "Unknown exception caught"); }

std::string joinErrorMessages(const std::string& first, const std::string& second) {
  std::ostringstream reply;
  std::string::size_type end = first.size();
  while (end > 0 && isSpace(first[end - 1])) --end;
  std::size_t separatorLength = 0;
  if (end > 0) {
    reply.write(first.data(), static_cast<std::streamsize>(end));
    const bool punctuation = std::string(";.,:!?").find(first[end - 1]) != std::string::npos;
    reply << (punctuation ? " " : ". ");
    separatorLength = punctuation ? 1 : 2;
  }
  std::string::size_type from = 0;
  std::string::size_type to = second.size();
  while (from < to && isSpace(second[from])) ++from;
  while (to > from && isSpace(second[to - 1])) --to;
  reply.write(second.data() + from, static_cast<std::streamsize>(to - from));
  std::string text = reply.str();
  if (from == to) text.resize(text.size() - separatorLength);
  return text;
}

std::string lastCRTError() { return std::strerror(errno); }
