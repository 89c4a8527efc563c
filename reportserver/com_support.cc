// Failure descriptions and the queryInterface and class factory preambles.
#include "reportserver/com_support.h"

#include "reportserver/fault_injection.h"
#include "reportserver/utf8.h"
#include "server/report_server.h"

namespace korva {

HRESULT failWith(HRESULT hr, const std::string& description) {
  setLastErrorDescription(fromUtf8(description));
  return hr;
}

HRESULT nullArgument(const char* operation) {
  return failWith(E_POINTER, std::string("A null pointer was passed to ") + operation + ".");
}

std::string interfaceName(const Guid& iid) {
  struct Entry {
    const Guid* iid;
    const char* name;
  };
  static const Entry kNames[] = {
      {&kIID_Unknown, "Unknown"},
      {&kIID_SessionManager, "SessionManager"},
      {&kIID_Session, "Session"},
      {&kIID_InfoStore, "InfoStore"},
      {&kIID_PluginManager, "PluginManager"},
      {&kIID_InfoObjects, "InfoObjects"},
      {&kIID_InfoObject, "InfoObject"},
      {&kIID_DesktopPlugin, "DesktopPlugin"},
      {&kIID_UserObject, "UserObject"},
      {&kIID_ReportObject, "ReportObject"},
      {&kIID_ReportFiles, "ReportFiles"},
      {&kIID_SecurityInfo, "SecurityInfo"},
      {&kIID_SecurityPrincipals, "SecurityPrincipals"},
      {&kIID_SecurityPrincipal, "SecurityPrincipal"},
      {&kIID_ErrorInfo, "ErrorInfo"},
      {&kIID_ErrorSource, "ErrorSource"},
  };
  for (const Entry& e : kNames) {
    if (*e.iid == iid) return e.name;
  }
  return std::string();
}

HRESULT beginQueryInterface(const Guid& iid, void** out) {
  if (!out) return nullArgument("queryInterface");
  *out = nullptr;
  std::string name = interfaceName(iid);
  if (!name.empty() && injectFault("queryInterface:" + name)) return E_NOINTERFACE;
  return S_OK;
}

HRESULT beginCreate(void** out, const char* className) {
  if (!out) return E_POINTER;
  *out = nullptr;
  refreshPlansFromEnvironment();
  if (injectFault(std::string("create:") + className)) return E_FAIL;
  return S_OK;
}

}  // namespace korva
