// The embedded server's two classes (the session manager and the error
// source) registered with the component runtime for as long as the owner
// lives: the runtime is initialised on the owner's thread (apartment-
// threaded), both class factories are entered with CoRegisterClassObject,
// and the owner revokes them and uninitialises the runtime again when it
// goes. Where the server is linked into the test rather than registered as
// it loads (as on Windows), this is how CoCreateInstance finds it.
//
// Thread-safety: create and destroy the owner on one thread; the runtime's
// initialisation is that thread's.
// Ownership: the owner holds the two registration cookies and one
// initialisation of the runtime (when it succeeded).
#ifndef KORVA_TESTS_COMMON_SERVER_CLASSES_H_
#define KORVA_TESTS_COMMON_SERVER_CLASSES_H_

#include "platform/com.h"
#include "reportserver/com/class_factories.h"
#include "server/report_server.h"

namespace korva_test_common {

class ServerClassRegistration {
 public:
  ServerClassRegistration() : initResult_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
    if (FAILED(initResult_)) return;
    registered_ = enter(korva::CLSID_SessionManager, korva::sessionManagerFactory(),
                        &sessionManagerCookie_) &&
                  enter(korva::CLSID_ErrorSource, korva::errorSourceFactory(), &errorSourceCookie_);
  }
  ~ServerClassRegistration() {
    for (DWORD cookie : {sessionManagerCookie_, errorSourceCookie_}) {
      if (cookie) CoRevokeClassObject(cookie);
    }
    if (SUCCEEDED(initResult_)) CoUninitialize();
  }
  ServerClassRegistration(const ServerClassRegistration&) = delete;
  ServerClassRegistration& operator=(const ServerClassRegistration&) = delete;

  // What CoInitializeEx answered (S_OK: the thread's first initialisation).
  HRESULT initResult() const { return initResult_; }
  // Whether both classes were registered.
  bool registered() const { return registered_; }

 private:
  static bool enter(REFCLSID classId, IClassFactory* factory, DWORD* cookie) {
    return SUCCEEDED(
        CoRegisterClassObject(classId, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, cookie));
  }

  HRESULT initResult_;
  bool registered_ = false;
  DWORD sessionManagerCookie_ = 0;
  DWORD errorSourceCookie_ = 0;
};

}  // namespace korva_test_common

#endif  // KORVA_TESTS_COMMON_SERVER_CLASSES_H_
