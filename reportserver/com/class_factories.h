// The class factories of the server's two creatable classes, the session
// manager (CLSID_SessionManager) and the error source (CLSID_ErrorSource):
// registered with the component runtime when the server is loaded into a
// process (server_module.cc), and the answers of a DLL's class-object entry
// where the server is a DLL of its own.
//
// Thread-safety: the factories are process-wide, hold no state and may be
// called on any thread.
// Ownership: the factories count nothing and are never freed; what
// CreateInstance hands out belongs to the caller.
#ifndef KORVA_REPORTSERVER_COM_CLASS_FACTORIES_H_
#define KORVA_REPORTSERVER_COM_CLASS_FACTORIES_H_

#include "platform/com.h"

namespace korva {

IClassFactory* sessionManagerFactory();
IClassFactory* errorSourceFactory();

// The factory of the class, or null for a class the server does not have.
IClassFactory* classFactoryFor(REFCLSID classId);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_CLASS_FACTORIES_H_
