/* The smallest launcher executable: main and the four launcher data functions
   that the runtime library looks up, or (with -DMAIN_ONLY) main alone. */
int main(void) { return 0; }
#ifndef MAIN_ONLY
void zormLauncherGetAPI(void) {}
void zormLauncherCreateZormlLauncherData(void) {}
void zormLauncherStartZorm(void) {}
void zormLauncherLog(void) {}
#endif
