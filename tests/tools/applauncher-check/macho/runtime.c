/* The smallest runtime launcher library: the entry point, or (with
   -DNO_ENTRY) some other function only. */
#ifdef NO_ENTRY
int RLX_Other(void) { return 0; }
#else
int RLX_Launch(int argc, char **argv) { return argc > 0 && argv ? 0 : 1; }
#endif
