// The answer of addFile.
#include "reportserver/com/file_entry.h"

namespace korva {

IUnknown* FileEntryImpl::interfaceFor(REFIID iid) { return iid == IID_IUnknown ? this : nullptr; }

}  // namespace korva
