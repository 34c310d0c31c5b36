// Helpers shared by the tests: a fresh temporary directory per test, scoped
// changes of the environment and of the working directory, captured streams.
#ifndef LX_TESTS_TESTSUPPORT_H
#define LX_TESTS_TESTSUPPORT_H

#include <iosfwd>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "share/native/common/Log.h"

// A new directory under the system's temporary folder, removed with all its
// content when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return dir; }
  // Path of `relative` inside the directory.
  std::string operator/(const std::string& relative) const { return dir + "/" + relative; }

 private:
  std::string dir;
};

// Writes `content` to `path`, creating missing parent directories.
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
void makeDirs(const std::string& path);

// Sets (or, with no value, unsets) a variable and restores it when destroyed.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::string& value);
  explicit ScopedEnv(const std::string& name);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name;
  bool wasSet;
  std::string oldValue;
};

// Changes the working directory and restores it when destroyed.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::string& dir);
  ~ScopedCwd();
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;

 private:
  std::string saved;
};

// Redirects a standard stream's buffer while it exists.
class CapturedStream {
 public:
  explicit CapturedStream(std::ostream& stream);
  ~CapturedStream();
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;

  std::string text() const { return buffer.str(); }

 private:
  std::ostream& stream;
  std::ostringstream buffer;  // before `saved`, which points into it
  std::streambuf* saved;
};

// Gives the default logger back the appender it had at construction, for
// tests whose code installs another one.
class ScopedDefaultAppender {
 public:
  ScopedDefaultAppender() : saved(&Logger::defaultLogger().getAppender()) {}
  ~ScopedDefaultAppender() { Logger::defaultLogger().setAppender(*saved); }
  ScopedDefaultAppender(const ScopedDefaultAppender&) = delete;
  ScopedDefaultAppender& operator=(const ScopedDefaultAppender&) = delete;

 private:
  LogAppender* saved;
};

// Keeps a copy of every record, and installs itself as the default logger's
// appender for its lifetime.
class RecordingAppender : public LogAppender {
 public:
  RecordingAppender() { Logger::defaultLogger().setAppender(*this); }
  RecordingAppender(const RecordingAppender&) = delete;
  RecordingAppender& operator=(const RecordingAppender&) = delete;

  void append(const LogEvent& event) override { events.push_back(event); }

  std::vector<LogEvent> events;

 private:
  ScopedDefaultAppender restore;
};

#endif
