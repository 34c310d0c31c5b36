/* The process's open descriptors, for tests that check what a launch leaves
 * open. Plain C, for the preloaded shim and the test runtime alike. */
#ifndef LX_TESTS_E2E_DESCRIPTORS_H
#define LX_TESTS_E2E_DESCRIPTORS_H

#include <fcntl.h>
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

#endif
