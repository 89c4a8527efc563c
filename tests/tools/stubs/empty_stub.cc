// A library that loads but exports neither doPublishA nor doDeleteA, for the
// programs' missing-function test.
#include "platform/entry_abi.h"

KORVA_ENTRY_EXPORT int KORVA_ENTRY_CALL korvaEmptyStubMarker() { return 0; }
