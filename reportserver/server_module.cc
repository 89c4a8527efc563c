// Registers the embedded server's classes with the component runtime when
// the library (or program) that holds it is loaded. The client finds the
// server only through createInstance with these class ids.
#include "platform/com.h"
#include "reportserver/session_objects.h"
#include "server/report_server.h"

namespace korva {
namespace {

struct ServerRegistration {
  ServerRegistration() {
    registerClass(kCLSID_SessionManager, &createSessionManager);
    registerClass(kCLSID_ErrorSource, &createErrorSource);
  }
};

const ServerRegistration registration;

}  // namespace
}  // namespace korva
