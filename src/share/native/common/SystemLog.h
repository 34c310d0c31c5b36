// The system log, where a failure stays visible when the launcher was started
// from the desktop and its standard error goes nowhere. Only the run frame's
// failure line goes there.
#ifndef LX_SHARE_COMMON_SYSTEMLOG_H
#define LX_SHARE_COMMON_SYSTEMLOG_H

#include <string>

namespace SystemLog {

// Sends `line` as one record of facility user and priority error, with the
// executable's file name as identity and the process id; a line of more than
// 2,048 bytes is cut to that many at a UTF-8 character boundary, ending in
// "...". Never throws, never waits for the log, leaves no descriptor open;
// without a log that takes the record at once, the record is lost. It logs
// nothing itself, so an appender may call it.
void error(const std::string& line) noexcept;

// The platform's part of error(): sends one such record with `identity`, or
// with the platform's name for the program when `identity` is empty. May throw
// for lack of memory.
void send(const std::string& identity, const std::string& line);

}  // namespace SystemLog

#endif
