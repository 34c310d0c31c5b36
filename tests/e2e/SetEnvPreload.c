/* Preloaded into the launcher by a test: before main runs, it sets the
 * variable named by LX_TEST_SETENV to the content of the file named by
 * LX_TEST_SETENV_FILE. exec limits one string to 128 KiB on Linux, so larger
 * values can only come about inside the process. */
#include <stdio.h>
#include <stdlib.h>

__attribute__((constructor)) static void setFromFile(void) {
  const char* name = getenv("LX_TEST_SETENV");
  const char* path = getenv("LX_TEST_SETENV_FILE");
  FILE* file = name && path ? fopen(path, "rb") : NULL;
  if (!file) return;
  fseek(file, 0, SEEK_END);
  const long size = ftell(file);
  rewind(file);
  char* value = size >= 0 ? malloc((size_t)size + 1) : NULL;
  if (value && fread(value, 1, (size_t)size, file) == (size_t)size) {
    value[size] = '\0';
    setenv(name, value, 1);
  }
  free(value);
  fclose(file);
}
