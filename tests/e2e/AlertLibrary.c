/* Stands in for CoreFoundation in the failure alert tests: it records every
 * call through the preloaded shim (key "alert") and shows nothing. Like the
 * real library it refuses bytes that are not UTF-8. Built with
 * LX_WITHOUT_ALERT, it lacks CFUserNotificationDisplayAlert. */
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void put(const char* key, const char* value); /* the shim's */

const void* CFStringCreateWithBytes(const void* allocator, const unsigned char* bytes, long length,
                                    unsigned int encoding, unsigned char external) {
  char* string = malloc((size_t)length + 1);
  memcpy(string, bytes, (size_t)length);
  string[length] = '\0';
  if (!setlocale(LC_CTYPE, "C.UTF-8") || mbstowcs(NULL, string, 0) == (size_t)-1) {
    free(string);
    return NULL;
  }
  char entry[2048];
  snprintf(entry, sizeof entry, "string|%d|%#x|%d|%s", allocator != NULL, encoding, external,
           string);
  put("alert", entry);
  return string;
}

#ifndef LX_WITHOUT_ALERT
int CFUserNotificationDisplayAlert(double timeout, unsigned long flags, const void* icon,
                                   const void* sound, const void* localization, const char* header,
                                   const char* message, const void* defaultButton,
                                   const void* alternateButton, const void* otherButton,
                                   unsigned long* response) {
  char entry[4096];
  snprintf(entry, sizeof entry, "show|%g|%lu|%d|%d|%s|%s", timeout, flags,
           !!icon + !!sound + !!localization + !!defaultButton + !!alternateButton + !!otherButton,
           response != NULL, header, message);
  put("alert", entry);
  return 0;
}
#endif

void CFRelease(const void* string) {
  char entry[2048];
  snprintf(entry, sizeof entry, "release|%s", (const char*)string);
  put("alert", entry);
  free((void*)string);
}
