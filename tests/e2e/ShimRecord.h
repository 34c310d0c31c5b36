/* The record of the preloaded shim and of the libraries that stand in for the
 * system's: one "key=value" line per call, appended to the file named by
 * LX_TEST_SYSLOG_RECORD. Plain C. */
#ifndef LX_TESTS_E2E_SHIMRECORD_H
#define LX_TESTS_E2E_SHIMRECORD_H

#include <stdio.h>
#include <stdlib.h>

static inline void put(const char* key, const char* value) {
  const char* path = getenv("LX_TEST_SYSLOG_RECORD");
  FILE* record = path ? fopen(path, "ab") : NULL;
  if (!record) return;
  fprintf(record, "%s=%s\n", key, value);
  fclose(record);
}

#endif
