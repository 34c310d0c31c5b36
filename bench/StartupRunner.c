/* Runs one or more commands alternately and reports, for each, the median and
   the fastest wall time of a whole run (spawn to reaped exit) and the peak
   resident set of the program itself.

   usage: startup_runner RUNS COMMAND [ARGUMENT...] [-- COMMAND [ARGUMENT...]]...
   prints one line per command: "median_us min_us peak_rss_kib"

   Output of the commands goes to /dev/null; any command that fails stops the
   runner. The peak is read from /proc at the command's exit (VmHWM), under
   ptrace, in separate runs: the exit status' rusage would count the memory of
   the runner that forked it, since a child starts with its parent's pages. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

enum { kMaxCommands = 8, kRssRuns = 5 };

static void fail(const char* what, char** command) {
  fprintf(stderr, "startup_runner: %s: %s\n", command[0], what);
  exit(1);
}

static double now_us(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

static void check_status(int status, char** command) {
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail("did not exit with status 0", command);
}

/* Wall time of one run, in microseconds. */
static double timed_run(char** command) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const double start = now_us();
  pid_t pid;
  if (posix_spawn(&pid, command[0], &actions, NULL, command, environ) != 0) {
    fail("cannot be started", command);
  }
  int status;
  if (waitpid(pid, &status, 0) != pid) fail("waitpid failed", command);
  const double elapsed = now_us() - start;
  posix_spawn_file_actions_destroy(&actions);
  check_status(status, command);
  return elapsed;
}

/* VmHWM of the process, in KiB, or -1. */
static long peak_rss_kib(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
  FILE* file = fopen(path, "r");
  if (!file) return -1;
  char line[256];
  long kib = -1;
  while (fgets(line, sizeof line, file)) {
    if (sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
  }
  fclose(file);
  return kib;
}

/* Peak resident set of one run, taken when the process is about to exit. */
static long traced_run(char** command) {
  const pid_t pid = fork();
  if (pid < 0) fail("fork failed", command);
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    if (null > 2) close(null);
    if (ptrace(PTRACE_TRACEME, 0, NULL, NULL) != 0) _exit(126);
    raise(SIGSTOP);
    execve(command[0], command, environ);
    _exit(127);
  }
  int status;
  if (waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) fail("cannot be traced", command);
  ptrace(PTRACE_SETOPTIONS, pid, NULL,
         (void*)(long)(PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL));
  long kib = -1;
  int signal = 0;
  for (;;) {
    ptrace(PTRACE_CONT, pid, NULL, (void*)(long)signal);
    if (waitpid(pid, &status, 0) != pid) fail("waitpid failed", command);
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
    signal = 0;
    if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      kib = peak_rss_kib(pid);
    } else if (status >> 8 != (SIGTRAP | (PTRACE_EVENT_EXEC << 8))) {
      signal = WSTOPSIG(status);
    }
  }
  check_status(status, command);
  if (kib < 0) fail("peak resident set not readable", command);
  return kib;
}

static int compare_doubles(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

static int compare_longs(const void* a, const void* b) {
  const long x = *(const long*)a, y = *(const long*)b;
  return (x > y) - (x < y);
}

int main(int argc, char** argv) {
  const int runs = argc > 2 ? atoi(argv[1]) : 0;
  if (runs <= 0) {
    fprintf(stderr, "usage: %s RUNS COMMAND [ARGUMENT...] [-- COMMAND [ARGUMENT...]]...\n",
            argv[0]);
    return 2;
  }
  char** commands[kMaxCommands];
  int count = 0;
  commands[count++] = argv + 2;
  for (int i = 2; i < argc; ++i) {
    if (strcmp(argv[i], "--") != 0) continue;
    argv[i] = NULL;
    if (count == kMaxCommands || i + 1 == argc) {
      fprintf(stderr, "startup_runner: at most %d non-empty commands\n", kMaxCommands);
      return 2;
    }
    commands[count++] = argv + i + 1;
  }

  double* times = malloc(sizeof(double) * (size_t)runs * (size_t)count);
  if (!times) return 1;
  /* One untimed round warms the page cache; then the commands alternate, so
     that load from other processes falls on all of them alike. */
  for (int c = 0; c < count; ++c) timed_run(commands[c]);
  for (int r = 0; r < runs; ++r) {
    for (int c = 0; c < count; ++c) times[c * runs + r] = timed_run(commands[c]);
  }
  for (int c = 0; c < count; ++c) {
    double* mine = times + c * runs;
    qsort(mine, (size_t)runs, sizeof *mine, compare_doubles);
    const double median = runs % 2 ? mine[runs / 2] : (mine[runs / 2 - 1] + mine[runs / 2]) / 2;
    long peaks[kRssRuns];
    for (int r = 0; r < kRssRuns; ++r) peaks[r] = traced_run(commands[c]);
    qsort(peaks, kRssRuns, sizeof *peaks, compare_longs);
    printf("%.1f %.1f %ld\n", median, mine[0], peaks[kRssRuns / 2]);
  }
  free(times);
  return 0;
}
