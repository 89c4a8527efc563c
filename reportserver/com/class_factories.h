// The server's creatable classes, in one table: the session manager
// (CLSID_SessionManager) and the error source (CLSID_ErrorSource), each with
// the description its registry key carries and its class factory. The table
// serves the registration with the component runtime when the server is
// loaded into a process (server_module.cc), a DLL's class-object and
// registration entries where the server is a DLL of its own
// (korvaserver_dll.cc), and the tests that register the classes themselves.
//
// Thread-safety: the table is made once, on first use, and read-only after;
// the factories hold no state and may be called on any thread.
// Ownership: the table and the factories are process-wide, count nothing
// and are never freed; what CreateInstance hands out belongs to the caller.
#ifndef KORVA_REPORTSERVER_COM_CLASS_FACTORIES_H_
#define KORVA_REPORTSERVER_COM_CLASS_FACTORIES_H_

#include <vector>

#include "platform/com.h"

namespace korva {

struct ServerClass {
  const CLSID* id;
  const char* description;
  IClassFactory* factory;
};

// Every class of the server, in the order they are registered.
const std::vector<ServerClass>& serverClasses();

// The factory of the class, or null for a class the server does not have.
IClassFactory* classFactoryFor(REFCLSID classId);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_CLASS_FACTORIES_H_
