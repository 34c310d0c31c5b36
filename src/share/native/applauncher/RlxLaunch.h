// The call contract of "RLX_Launch", the entry point of the runtime launcher
// library: fourteen parameters, of which only the argument count and list carry
// data. The others are zeros, passed at pointer width so that whatever integer
// or pointer type the library declares for them receives zero, and two empty
// strings followed by "vexa" twice. The result is 0 on success.
#ifndef LX_SHARE_APPLAUNCHER_RLXLAUNCH_H
#define LX_SHARE_APPLAUNCHER_RLXLAUNCH_H

// argList holds argCount string pointers followed by a null one.
typedef int (*RlxLaunchFunc)(int argCount, char** argList, void* zero3, void* zero4, void* zero5,
                             void* zero6, const char* empty7, const char* empty8, const char* vexa9,
                             const char* vexa10, void* zero11, void* zero12, void* zero13,
                             void* zero14);

#endif
