// The session manager: the server's entry, which logs a user on to an APS and
// hands out the session.
//
// Thread-safety: may be called on any thread; it holds only the plugin plan
// it was made with.
// Ownership: the session it hands out belongs to the caller.
#ifndef KORVA_REPORTSERVER_COM_SESSION_MANAGER_H_
#define KORVA_REPORTSERVER_COM_SESSION_MANAGER_H_

#include <map>
#include <string>

#include "reportserver/com/com_support.h"
#include "reportserver/com/interface_stubs.h"
#include "server/report_server.h"

namespace korva {

class SessionManagerImpl : public ServerObject<SessionManagerImpl, SessionManagerStub> {
 public:
  explicit SessionManagerImpl(std::map<std::string, int> pluginPlan)
      : pluginPlan_(std::move(pluginPlan)) {}
  IUnknown* interfaceFor(REFIID iid);
  HRESULT STDMETHODCALLTYPE logon(BSTR user, BSTR password, BSTR apsName, BSTR authentication,
                                  Session** session) override;

 private:
  ~SessionManagerImpl() override = default;
  friend class RefCountedObject<SessionManagerImpl>;
  std::map<std::string, int> pluginPlan_;
};

// What the session manager's class factory creates.
HRESULT createSessionManager(IUnknown* outer, REFIID iid, void** out);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_SESSION_MANAGER_H_
