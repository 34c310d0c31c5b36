/* The process's open descriptors and SIGPIPE's state, for tests that check
 * what a launch leaves changed. Plain C, for the preloaded shim and the test
 * runtime alike. */
#ifndef LX_TESTS_E2E_DESCRIPTORS_H
#define LX_TESTS_E2E_DESCRIPTORS_H

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>

/* Writes the open descriptors below 1024 as "0,1,2" into `text`. */
static inline void listDescriptors(char* text, size_t size) {
  size_t used = 0;
  text[0] = '\0';
  for (int fd = 0; fd < 1024 && used < size; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) {
      used += (size_t)snprintf(text + used, size - used, used ? ",%d" : "%d", fd);
    }
  }
}

/* SIGPIPE's disposition, and whether the thread blocks it. */
static inline const char* sigpipeState(void) {
  struct sigaction action;
  sigset_t mask;
  if (sigaction(SIGPIPE, NULL, &action) != 0 || sigprocmask(SIG_SETMASK, NULL, &mask) != 0) {
    return "unknown";
  }
  const int blocked = sigismember(&mask, SIGPIPE) == 1;
  if (action.sa_handler == SIG_DFL) return blocked ? "default, blocked" : "default";
  if (action.sa_handler == SIG_IGN) return blocked ? "ignored, blocked" : "ignored";
  return blocked ? "caught, blocked" : "caught";
}

#endif
