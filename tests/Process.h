// Runs a program as a child process with exactly the given environment and
// working directory, and collects its exit status and both output streams.
#ifndef LX_TESTS_E2E_PROCESS_H
#define LX_TESTS_E2E_PROCESS_H

#include <map>
#include <string>
#include <vector>

struct ProcessResult {
  bool exited = false;  // false: killed by a signal or by the time limit
  int status = -1;      // exit status when `exited`
  int signal = 0;       // the signal otherwise
  bool timedOut = false;
  std::string out;
  std::string err;
};

typedef std::map<std::string, std::string> Environment;

// `args` starts with argv[0]; `program` is the file executed. An empty `cwd`
// keeps the current one. The child is killed after `timeoutSeconds`.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const Environment& env, const std::string& cwd = std::string(),
                         int timeoutSeconds = 60);

#endif
