// The platform's report of how the program was started: the file name handed
// to exec, which may be relative or a link. macOS has it in its system
// library; elsewhere a stand-in with the same contract is linked.
#ifndef LX_MACOSX_COMMON_EXECUTABLEPATH_H
#define LX_MACOSX_COMMON_EXECUTABLEPATH_H

#include <stdint.h>

// Returns 0 when the path and its NUL fit into `*bufsize` bytes of `buf`, else
// -1 with the size needed stored in `*bufsize`; 1 when no path is known.
extern "C" int _NSGetExecutablePath(char* buf, uint32_t* bufsize);

#endif
