// The table of the server's classes: one row per class, its factory handing
// CreateInstance on to the class's creation function (session_manager.cc,
// error_source.cc).
#include "reportserver/com/class_factories.h"

#include "com/function_class_factory.h"
#include "reportserver/com/error_source.h"
#include "reportserver/com/session_manager.h"
#include "server/report_server.h"

namespace korva {
namespace {

struct ClassRow {
  const CLSID& id;
  const char* description;
  FunctionClassFactory::Create create;
};

// Constant data, so a registration during static initialisation finds it.
const ClassRow kClassRows[] = {
    {CLSID_SessionManager, "Korva embedded report server: session manager", &createSessionManager},
    {CLSID_ErrorSource, "Korva embedded report server: error source", &createErrorSource},
};

}  // namespace

const std::vector<ServerClass>& serverClasses() {
  static const std::vector<ServerClass>* const classes = [] {
    auto* made = new std::vector<ServerClass>();
    for (const ClassRow& row : kClassRows) {
      made->push_back({&row.id, row.description, new FunctionClassFactory(row.create)});
    }
    return made;
  }();
  return *classes;
}

IClassFactory* classFactoryFor(REFCLSID classId) {
  for (const ServerClass& c : serverClasses()) {
    if (*c.id == classId) return c.factory;
  }
  return nullptr;
}

}  // namespace korva
