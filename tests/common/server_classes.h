// The embedded server's classes (class_factories.h: the session manager and
// the error source) registered with the component runtime for as long as the
// owner lives: the runtime is initialised on the owner's thread (apartment-
// threaded), every class factory is entered with CoRegisterClassObject, and
// the owner revokes them and uninitialises the runtime again when it goes.
// Where the server is linked into the test rather than registered as it
// loads (as on Windows), this is how CoCreateInstance finds it.
//
// Thread-safety: create and destroy the owner on one thread; the runtime's
// initialisation is that thread's.
// Ownership: the owner holds the registration cookies and one
// initialisation of the runtime (when it succeeded).
#ifndef KORVA_TESTS_COMMON_SERVER_CLASSES_H_
#define KORVA_TESTS_COMMON_SERVER_CLASSES_H_

#include <vector>

#include "platform/com.h"
#include "reportserver/com/class_factories.h"

namespace korva_test_common {

class ServerClassRegistration {
 public:
  ServerClassRegistration() : initResult_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
    if (FAILED(initResult_)) return;
    registered_ = true;
    for (const korva::ServerClass& c : korva::serverClasses()) {
      DWORD cookie = 0;
      registered_ =
          registered_ && SUCCEEDED(CoRegisterClassObject(*c.id, c.factory, CLSCTX_INPROC_SERVER,
                                                         REGCLS_MULTIPLEUSE, &cookie));
      if (cookie) cookies_.push_back(cookie);
    }
  }
  ~ServerClassRegistration() {
    for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
    if (SUCCEEDED(initResult_)) CoUninitialize();
  }
  ServerClassRegistration(const ServerClassRegistration&) = delete;
  ServerClassRegistration& operator=(const ServerClassRegistration&) = delete;

  // What CoInitializeEx answered (S_OK: the thread's first initialisation).
  HRESULT initResult() const { return initResult_; }
  // Whether every class was registered.
  bool registered() const { return registered_; }

 private:
  HRESULT initResult_;
  bool registered_ = false;
  std::vector<DWORD> cookies_;
};

}  // namespace korva_test_common

#endif  // KORVA_TESTS_COMMON_SERVER_CLASSES_H_
