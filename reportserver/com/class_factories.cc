// The two class factories: each hands CreateInstance on to its class's
// creation function (session_manager.cc, error_source.cc).
#include "reportserver/com/class_factories.h"

#include "reportserver/com/error_source.h"
#include "reportserver/com/session_manager.h"
#include "server/report_server.h"

namespace korva {

IClassFactory* sessionManagerFactory() {
  static FunctionClassFactory factory(&createSessionManager);
  return &factory;
}

IClassFactory* errorSourceFactory() {
  static FunctionClassFactory factory(&createErrorSource);
  return &factory;
}

IClassFactory* classFactoryFor(REFCLSID classId) {
  if (classId == CLSID_SessionManager) return sessionManagerFactory();
  if (classId == CLSID_ErrorSource) return errorSourceFactory();
  return nullptr;
}

}  // namespace korva
