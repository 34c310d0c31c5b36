// The launcher's one failure type and its reporting. A throw site builds its
// raw message and throws makeException(message, LX_SOURCE_POS); a boundary
// that must not let exceptions pass hands them to reportError or
// reportUnknownError, which write one ERROR record to the default logger.
#ifndef LX_SHARE_COMMON_ERRORHANDLING_H
#define LX_SHARE_COMMON_ERRORHANDLING_H

#include <stdexcept>
#include <string>

#include "SourceFile.h"
#include "TextBuilder.h"

// Where something happened. The texts are static and not owned.
struct SourceCodePos {
  SourceCodePos(const char* file, const char* function, int line)
      : file(file), function(function), line(line) {}

  const char* const file;
  const char* const function;
  const int line;
};

// The position of the statement it stands in. LX_SOURCE_FILE is the source's
// path below src/ without extension; the build defines it for every file.
#define LX_SOURCE_POS SourceCodePos(LX_SOURCE_FILE, __FUNCTION__, __LINE__)

// Throws an LxError whose raw message is the text appended to it, for example
// LX_THROW("getenv(" << name << ") failed. Variable not set").
#define LX_THROW(pieces) throw makeException(tstrings::any() << pieces, LX_SOURCE_POS)

// Throws as LX_THROW for a failed system call: the raw message is the pieces
// followed by lastCRTError(). errno is read first, before building the message
// can change it, so this must directly follow the failed call.
#define LX_THROW_SYSTEM_ERROR(pieces)                 \
  do {                                                \
    const std::string lxSystemError = lastCRTError(); \
    LX_THROW(pieces << lxSystemError);                \
  } while (false)

// Catch type for the raw message of any launcher error.
class LxErrorBase {
 public:
  virtual const char* rawMessage() const = 0;

 protected:
  ~LxErrorBase() = default;
};

std::string makeMessage(const std::runtime_error& e, const SourceCodePos& pos);

// Raw message in the standard part, formatted message (position first) in `message`.
template <class Base>
class LxError : public LxErrorBase, public Base {
 public:
  LxError(const Base& e, const SourceCodePos& pos) : Base(e), message(makeMessage(e, pos)) {}

  const char* rawMessage() const override { return Base::what(); }
  const char* what() const noexcept override { return message.c_str(); }

 private:
  std::string message;
};

// A NUL byte in the message is written as \0, so that no part of it is lost.
LxError<std::runtime_error> makeException(const tstrings::any& message, const SourceCodePos& pos);
LxError<std::runtime_error> makeException(const char* message, const SourceCodePos& pos);

// One ERROR record "Exception with message '<what()>' caught" at `pos`,
// whatever the logger's threshold.
void reportError(const SourceCodePos& pos, const std::runtime_error& e);

// One ERROR record "Unknown exception caught" at `pos`.
void reportUnknownError(const SourceCodePos& pos);

// Joins two message texts as sentences: "Failed" and "Try again" give
// "Failed. Try again"; after a punctuation mark only a space is put between.
std::string joinErrorMessages(const std::string& first, const std::string& second);

// The system's text for the current errno. Call it right after the failed call.
std::string lastCRTError();

#endif
