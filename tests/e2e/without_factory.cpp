// A libVistrel.so that loads but exports no GetVistrelInterface: the program
// must treat it like a missing library.
extern "C" __attribute__((visibility("default"))) int VistrelBuildNumber() { return 0; }
