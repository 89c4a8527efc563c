// The calling thread's count of component runtime initialisations
// (CoInitializeEx calls not yet matched by CoUninitialize), for tests that
// check that the code gives back every initialisation it takes. The count
// is the runtime's own on POSIX (com_posix.cc) and found by asking the
// system on Windows (com_win32.cc).
//
// Thread-safety: reads the calling thread's state only.
// Ownership: on return the thread's initialisations are as they were.
#ifndef KORVA_PLATFORM_COM_INIT_COUNT_H_
#define KORVA_PLATFORM_COM_INIT_COUNT_H_

namespace korva {

// 0 when the thread is not initialised; -1 on Windows for a thread in
// another threading model than the apartment one.
int comInitializeCount();

}  // namespace korva

#endif  // KORVA_PLATFORM_COM_INIT_COUNT_H_
