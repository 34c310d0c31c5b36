/* Calls a function that no library defines, so it loads only when symbols
   are bound lazily. */

void lxNeverDefined(void);

int lxCallsUndefined(void) {
  lxNeverDefined();
  return 1;
}
