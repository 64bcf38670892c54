// Stand-in for a debug library that loads but lacks the entry point.
extern "C" __attribute__((visibility("default"))) int getSomethingElse() { return 1; }
