// The COM runtime on Windows is the system's own (ole32, oleaut32, declared by
// the SDK headers that com.h includes). Defined here: the calling thread's
// initialisation count (com_init_count.h), for tests; and com_layout.h
// checks the SDK's layouts the code relies on.
//
// Thread-safety: touches only the calling thread's COM state.
// Ownership: none; the thread's initialisations are as they were on return.
#include "platform/com.h"
#include "platform/com_init_count.h"
#include "platform/com_layout.h"

namespace korva {

// Windows does not tell the count, so it is found by taking the thread's
// initialisations away one by one until an initialise answers S_OK (the
// count was 0), then putting them back. A thread that runs in another
// threading model than the apartment one answers -1.
int comInitializeCount() {
  int count = 0;
  for (;;) {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (hr == S_OK) {
      CoUninitialize();
      break;
    }
    if (hr != S_FALSE) return -1;
    CoUninitialize();
    CoUninitialize();
    ++count;
  }
  for (int i = 0; i < count; ++i) CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  return count;
}

}  // namespace korva
