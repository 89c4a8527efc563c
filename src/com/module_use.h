// What keeps this module (the program or library the code is linked into)
// in use: its live objects and the locks its class factories were asked
// for. A library that is a COM server of its own may be unloaded only when
// the count is 0 (DllCanUnloadNow).
//
// Thread-safety: the count is atomic.
// Ownership: each module has its own count.
#ifndef KORVA_COM_MODULE_USE_H_
#define KORVA_COM_MODULE_USE_H_

#include <atomic>

namespace korva {

inline std::atomic<long>& moduleUseCount() {
  static std::atomic<long> count{0};
  return count;
}

}  // namespace korva

#endif  // KORVA_COM_MODULE_USE_H_
