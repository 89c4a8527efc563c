// A library that loads but exports neither doPublishA nor doDeleteA, for the
// programs' missing-function test.
extern "C" __attribute__((visibility("default"))) int korvaEmptyStubMarker() { return 0; }
