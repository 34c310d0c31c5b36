/* Preloaded into a program by the system log tests; it works by symbol
 * interposition, which only ELF systems offer. It appends to the file named by
 * LX_TEST_SYSLOG_RECORD one "key=value" line for the descriptors open before
 * main and for every call of openlog, syslog, vsyslog and closelog, which it
 * does not pass on. Datagrams meant for "/dev/log" go to the socket named by
 * LX_TEST_SYSLOG_SOCKET instead, so no test writes the machine's log. With
 * LX_TEST_CLOSE_STDERR set, standard error is closed before main. For the
 * failure alert it plays a launch from the desktop: LX_TEST_PARENT_PID is the
 * parent's process id, LX_TEST_STDERR_TERMINAL makes standard error a
 * terminal, and a load of CoreFoundation is recorded (key "alert") and loads
 * LX_TEST_ALERT_LIBRARY instead. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "Descriptors.h"

/* Exported: the stand-in libraries record their calls through it too. */
void put(const char* key, const char* value) {
  const char* path = getenv("LX_TEST_SYSLOG_RECORD");
  FILE* record = path ? fopen(path, "ab") : NULL;
  if (!record) return;
  fprintf(record, "%s=%s\n", key, value);
  fclose(record);
}

__attribute__((constructor)) static void beforeMain(void) {
  if (getenv("LX_TEST_CLOSE_STDERR")) close(2);
  char descriptors[4096];
  listDescriptors(descriptors, sizeof descriptors);
  put("fds", descriptors);
}

void openlog(const char* ident, int option, int facility) {
  char text[4096];
  snprintf(text, sizeof text, "%s|%d|%d", ident ? ident : "<null>", option, facility);
  put("openlog", text);
}

void vsyslog(int priority, const char* format, va_list args) {
  char text[4096];
  const int length = snprintf(text, sizeof text, "%d|", priority);
  vsnprintf(text + length, sizeof text - (size_t)length, format, args);
  put("syslog", text);
}

void syslog(int priority, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsyslog(priority, format, args);
  va_end(args);
}

void closelog(void) { put("closelog", ""); }

/* glibc declares the address as a transparent union for GNU C. */
ssize_t sendto(int fd, const void* buffer, size_t length, int flags, __CONST_SOCKADDR_ARG address,
               socklen_t addressLength) {
  static ssize_t (*next)(int, const void*, size_t, int, __CONST_SOCKADDR_ARG, socklen_t);
  if (!next) *(void**)&next = dlsym(RTLD_NEXT, "sendto");
  const struct sockaddr_un* to = (const struct sockaddr_un*)address.__sockaddr_un__;
  struct sockaddr_un redirected;
  if (to && to->sun_family == AF_UNIX && strcmp(to->sun_path, "/dev/log") == 0) {
    const char* socketPath = getenv("LX_TEST_SYSLOG_SOCKET");
    memset(&redirected, 0, sizeof redirected);
    redirected.sun_family = AF_UNIX;
    strncpy(redirected.sun_path, socketPath ? socketPath : "", sizeof redirected.sun_path - 1);
    address.__sockaddr_un__ = &redirected;
    addressLength = sizeof redirected;
  }
  return next(fd, buffer, length, flags, address, addressLength);
}

pid_t getppid(void) {
  static pid_t (*next)(void);
  if (!next) *(void**)&next = dlsym(RTLD_NEXT, "getppid");
  const char* parent = getenv("LX_TEST_PARENT_PID");
  return parent ? (pid_t)atoi(parent) : next();
}

int isatty(int fd) {
  static int (*next)(int);
  if (!next) *(void**)&next = dlsym(RTLD_NEXT, "isatty");
  return fd == 2 && getenv("LX_TEST_STDERR_TERMINAL") ? 1 : next(fd);
}

void* dlopen(const char* path, int flags) {
  static void* (*next)(const char*, int);
  if (!next) *(void**)&next = dlsym(RTLD_NEXT, "dlopen");
  const char* standIn = getenv("LX_TEST_ALERT_LIBRARY");
  if (path &&
      strcmp(path, "/System/Library/Frameworks/CoreFoundation.framework/CoreFoundation") == 0) {
    put("alert", "dlopen");
    if (standIn) path = standIn;
  }
  return next(path, flags);
}
