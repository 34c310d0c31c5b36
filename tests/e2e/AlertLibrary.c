/* Stands in for CoreFoundation in the failure alert tests: it records every
 * call in the shim's record and shows nothing. Like the real library it
 * refuses bytes that are not UTF-8. Built with LX_WITHOUT_ALERT, it lacks
 * CFUserNotificationDisplayAlert. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ShimRecord.h"

/* Lead bytes and the number of continuation bytes each takes; enough to catch
 * a character cut short or a stray byte. */
static int isUtf8(const unsigned char* bytes, long length) {
  for (long at = 0; at < length;) {
    const unsigned char lead = bytes[at++];
    int more = lead < 0x80   ? 0
               : lead < 0xC2 ? -1
               : lead < 0xE0 ? 1
               : lead < 0xF0 ? 2
               : lead < 0xF5 ? 3
                             : -1;
    if (more < 0) return 0;
    for (; more > 0; --more, ++at) {
      if (at >= length || (bytes[at] & 0xC0) != 0x80) return 0;
    }
  }
  return 1;
}

const void* CFStringCreateWithBytes(const void* allocator, const unsigned char* bytes, long length,
                                    unsigned int encoding, unsigned char external) {
  if (!isUtf8(bytes, length)) return NULL;
  char* string = malloc((size_t)length + 1);
  char* entry = malloc((size_t)length + 64);
  memcpy(string, bytes, (size_t)length);
  string[length] = '\0';
  sprintf(entry, "%d|%#x|%d|%s", allocator != NULL, encoding, external, string);
  put("string", entry);
  free(entry);
  return string;
}

#ifndef LX_WITHOUT_ALERT
int CFUserNotificationDisplayAlert(double timeout, unsigned long flags, const void* icon,
                                   const void* sound, const void* localization, const char* header,
                                   const char* message, const void* defaultButton,
                                   const void* alternateButton, const void* otherButton,
                                   unsigned long* response) {
  char* entry = malloc(strlen(header) + strlen(message) + 64);
  sprintf(entry, "%g|%lu|%d|%d|%s|%s", timeout, flags,
          !!icon + !!sound + !!localization + !!defaultButton + !!alternateButton + !!otherButton,
          response != NULL, header, message);
  put("alert", entry);
  free(entry);
  return 0;
}
#endif

void CFRelease(const void* string) {
  put("release", string);
  free((void*)string);
}
