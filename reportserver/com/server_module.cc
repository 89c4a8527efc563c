// Registers the embedded server's classes (class_factories.h) with the
// component runtime when the library (or program) that holds it is loaded,
// for every server context. The client finds the server only through
// CoCreateInstance with these class ids.
//
// Thread-safety: runs once, during static initialisation.
// Ownership: the registrations last as long as the process.
#include "platform/com.h"
#include "reportserver/com/class_factories.h"

namespace korva {
namespace {

struct ServerRegistration {
  ServerRegistration() {
    for (const ServerClass& c : serverClasses()) {
      DWORD cookie = 0;
      CoRegisterClassObject(*c.id, c.factory, CLSCTX_ALL, REGCLS_MULTIPLEUSE, &cookie);
    }
  }
};

const ServerRegistration registration;

}  // namespace
}  // namespace korva
