// While a scope exists, a write of its thread to a pipe whose reader has gone
// fails with EPIPE instead of ending the process with SIGPIPE. The launcher
// writes to standard error under one, so that a failure still reaches the
// system log and a debug launch still reaches the runtime. The signal's
// disposition is never touched: the runtime starts with the one the launcher
// was started with.
#ifndef LX_SHARE_COMMON_NOSIGPIPESCOPE_H
#define LX_SHARE_COMMON_NOSIGPIPESCOPE_H

class NoSigpipeScope {
 public:
  // Blocks SIGPIPE for the thread, unless it is blocked already.
  NoSigpipeScope() noexcept;
  // Discards a SIGPIPE raised while the scope existed, then unblocks it again.
  ~NoSigpipeScope();
  NoSigpipeScope(const NoSigpipeScope&) = delete;
  NoSigpipeScope& operator=(const NoSigpipeScope&) = delete;

 private:
  bool blockedHere;
};

#endif
