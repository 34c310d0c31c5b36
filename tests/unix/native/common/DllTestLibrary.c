/* A library for the loader tests. */

int lxTestAnswer(void) { return 42; }

/* A symbol that exists but whose address the loader reports as null. */
typedef int NullFunction(void);
__attribute__((used)) static NullFunction* resolveToNull(void) { return 0; }
int lxNullFunction(void) __attribute__((ifunc("resolveToNull")));
