// A shared library that loads but has no runtime entry point.
extern "C" __attribute__((visibility("default"))) int RLX_Other() { return 0; }
