// The macOS system log calls, watched through the preloaded shim, which
// records syslog(3) calls instead of making them, after a line of the
// descriptors open and one of SIGPIPE's state before main.
#include <gtest/gtest.h>

#include "Process.h"
#include "TestSupport.h"

TEST(MacSystemLogTest, OpensSendsTheLineAsTextAndCloses) {
  // LOG_PID and LOG_USER, and LOG_ERR; <syslog.h> names clash with the logger's.
  const std::string options = "|1|8";
  const std::string error = "3|";
  struct Case {
    std::string identity;
    std::string line;
    std::string ident;  // as openlog receives it
  };
  const Case cases[] = {
      {"Demo", "Failed to launch ZORM", "Demo"},
      // A line is never a format; no identity leaves the system's name.
      {"", "100% of %s", "<null>"},
  };
  for (const Case& c : cases) {
    TempDir tmp;
    const ProcessResult result = runProcess(
        LX_SYSTEM_LOG_PROBE, {LX_SYSTEM_LOG_PROBE, c.identity, c.line},
        {{"LD_PRELOAD", LX_SYSLOG_PRELOAD_PATH}, {"LX_TEST_SYSLOG_RECORD", tmp / "rec"}});
    EXPECT_EQ(0, result.status) << c.line;
    const std::string record = readFile(tmp / "rec");
    EXPECT_EQ("openlog=" + c.ident + options + "\nsyslog=" + error + c.line + "\ncloselog=\n",
              record.substr(record.find('\n', record.find('\n') + 1) + 1))
        << c.line;
  }
}
