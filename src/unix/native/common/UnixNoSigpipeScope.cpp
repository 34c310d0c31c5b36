#include <pthread.h>
#include <signal.h>

#include "share/native/common/NoSigpipeScope.h"

namespace {

sigset_t onlySigpipe() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return set;
}

}  // namespace

NoSigpipeScope::NoSigpipeScope() noexcept : blockedHere(false) {
  const sigset_t sigpipe = onlySigpipe();
  sigset_t before;
  if (pthread_sigmask(SIG_BLOCK, &sigpipe, &before) == 0) {
    blockedHere = sigismember(&before, SIGPIPE) == 0;
  }
}

NoSigpipeScope::~NoSigpipeScope() {
  // Blocked before, a SIGPIPE stays pending as it would have without the scope.
  if (!blockedHere) return;
  const sigset_t sigpipe = onlySigpipe();
  sigset_t pending;
  // Pending, the signal is taken at once: sigwait does not wait then.
  if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
    int taken;
    sigwait(&sigpipe, &taken);
  }
  pthread_sigmask(SIG_UNBLOCK, &sigpipe, nullptr);
}
