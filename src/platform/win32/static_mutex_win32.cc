// StaticMutex on Windows: an exclusively held SRWLOCK in the object's one
// pointer of state (an SRWLOCK is exactly that pointer, zero when free).
#include "platform/static_mutex.h"
#include "platform/win32/windows_api.h"

namespace korva {
namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*), "an SRWLOCK is one pointer");

PSRWLOCK asLock(void** state) { return reinterpret_cast<PSRWLOCK>(state); }

}  // namespace

void StaticMutex::lock() { AcquireSRWLockExclusive(asLock(&state_)); }

void StaticMutex::unlock() { ReleaseSRWLockExclusive(asLock(&state_)); }

bool StaticMutex::try_lock() { return TryAcquireSRWLockExclusive(asLock(&state_)) != 0; }

}  // namespace korva
