// The logger's platform hooks: records carry no platform part here, and
// logging needs no set-up.
#include "share/native/common/Log.h"

void LogEvent::init(PlatformLogEvent&) {}

void LogEvent::appendFormatted(const PlatformLogEvent&, std::string&) {}

void Logger::initializeLogging() {}

void Logger::initializingLogging() {}
