// For tests and the fuzzer only, outside the launcher's interface: lowers the
// largest block the launcher data interface packs (INT_MAX) while the object
// lives, to check that larger descriptions are refused. The destructor puts
// the previous limit back, so no test can leave it changed.
#ifndef LX_SHARE_APPLAUNCHER_LAUNCHERDATASIZELIMIT_H
#define LX_SHARE_APPLAUNCHER_LAUNCHERDATASIZELIMIT_H

class LauncherDataSizeLimit {
 public:
  explicit LauncherDataSizeLimit(int limit);
  ~LauncherDataSizeLimit();
  LauncherDataSizeLimit(const LauncherDataSizeLimit&) = delete;
  LauncherDataSizeLimit& operator=(const LauncherDataSizeLimit&) = delete;

 private:
  const int previous;
};

#endif
