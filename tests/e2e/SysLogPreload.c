/* Preloaded into a program by the tests; it works by symbol interposition,
 * which only ELF systems offer. It appends to the file named by
 * LX_TEST_SYSLOG_RECORD one "key=value" line for the descriptors open and the
 * state of SIGPIPE before main, for every call of openlog, syslog, vsyslog
 * and closelog, which it does not pass on, and for the descriptor of every
 * datagram or connection meant for "/dev/log" ("logfd"). Those go to the
 * socket named by LX_TEST_SYSLOG_SOCKET instead, or nowhere without it, so no
 * test writes the machine's log. Before main, and in this order: with
 * LX_TEST_FEXECVE set, the program starts itself again through fexecve of a
 * close-on-exec descriptor, so that its path is "/dev/fd/100"; with
 * LX_TEST_CLOSE_STDERR set, standard error is closed; with
 * LX_TEST_BREAK_STDERR set, it is a pipe without a reader, and SIGPIPE has its
 * default action. With LX_TEST_MAIN_MARKER set, "main" and a line feed go to
 * standard output just before main runs. For the failure alert it plays a
 * launch from the desktop: LX_TEST_PARENT_PID is the parent's process id,
 * LX_TEST_STDERR_TERMINAL makes standard error a terminal, and a load of
 * CoreFoundation is recorded (key "alert") and loads LX_TEST_ALERT_LIBRARY
 * instead. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/auxv.h>
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

__attribute__((constructor)) static void beforeMain(int argc, char** argv, char** envp) {
  (void)argc;
  const char* started = (const char*)getauxval(AT_EXECFN);
  if (getenv("LX_TEST_FEXECVE") && started && strncmp(started, "/dev/fd/", 8) != 0) {
    const int fd = fcntl(open("/proc/self/exe", O_RDONLY | O_CLOEXEC), F_DUPFD_CLOEXEC, 100);
    fexecve(fd, argv, envp);
    _exit(127);
  }
  if (getenv("LX_TEST_CLOSE_STDERR")) close(2);
  if (getenv("LX_TEST_BREAK_STDERR")) {
    int ends[2];
    if (pipe(ends) != 0 || dup2(ends[1], 2) != 2) _exit(127);
    close(ends[0]);
    close(ends[1]);
    signal(SIGPIPE, SIG_DFL);
  }
  if (!getenv("LX_TEST_SYSLOG_RECORD")) return;
  char descriptors[4096];
  listDescriptors(descriptors, sizeof descriptors);
  put("fds", descriptors);
  put("sigpipe", sigpipeState());
}

typedef int (*MainFunction)(int, char**, char**);
static MainFunction realMain;

static int markedMain(int argc, char** argv, char** envp) {
  static const char marker[] = "main\n";
  if (write(1, marker, sizeof marker - 1) < 0) return 127;
  return realMain(argc, argv, envp);
}

/* glibc's start-up code calls main through it. */
int __libc_start_main(MainFunction main, int argc, char** argv, void (*init)(void),
                      void (*fini)(void), void (*rtldFini)(void), void* stackEnd) {
  int (*next)(MainFunction, int, char**, void (*)(void), void (*)(void), void (*)(void), void*);
  *(void**)&next = dlsym(RTLD_NEXT, "__libc_start_main");
  if (getenv("LX_TEST_MAIN_MARKER")) {
    realMain = main;
    main = markedMain;
  }
  return next(main, argc, argv, init, fini, rtldFini, stackEnd);
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

/* The address of the test's socket instead of "/dev/log"; null, with the
 * descriptor recorded, when `address` is "/dev/log" and there is no such
 * socket. glibc declares the address as a transparent union for GNU C. */
static int redirected(int fd, __CONST_SOCKADDR_ARG* address, socklen_t* length,
                      struct sockaddr_un* replacement) {
  const struct sockaddr_un* to = (const struct sockaddr_un*)address->__sockaddr_un__;
  if (!to || to->sun_family != AF_UNIX || strcmp(to->sun_path, "/dev/log") != 0) return 1;
  char text[16];
  snprintf(text, sizeof text, "%d", fd);
  put("logfd", text);
  const char* socketPath = getenv("LX_TEST_SYSLOG_SOCKET");
  if (!socketPath) {
    errno = ENOENT;
    return 0;
  }
  memset(replacement, 0, sizeof *replacement);
  replacement->sun_family = AF_UNIX;
  strncpy(replacement->sun_path, socketPath, sizeof replacement->sun_path - 1);
  address->__sockaddr_un__ = replacement;
  *length = sizeof *replacement;
  return 1;
}

ssize_t sendto(int fd, const void* buffer, size_t length, int flags, __CONST_SOCKADDR_ARG address,
               socklen_t addressLength) {
  static ssize_t (*next)(int, const void*, size_t, int, __CONST_SOCKADDR_ARG, socklen_t);
  if (!next) *(void**)&next = dlsym(RTLD_NEXT, "sendto");
  struct sockaddr_un replacement;
  if (!redirected(fd, &address, &addressLength, &replacement)) return -1;
  return next(fd, buffer, length, flags, address, addressLength);
}

int connect(int fd, __CONST_SOCKADDR_ARG address, socklen_t addressLength) {
  static int (*next)(int, __CONST_SOCKADDR_ARG, socklen_t);
  if (!next) *(void**)&next = dlsym(RTLD_NEXT, "connect");
  struct sockaddr_un replacement;
  if (!redirected(fd, &address, &addressLength, &replacement)) return -1;
  return next(fd, address, addressLength);
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
