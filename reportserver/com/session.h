// A logged-on session: hands out its InfoStore service and its plugin
// manager.
//
// Thread-safety: one thread at a time.
// Ownership: holds the session context; what it hands out holds it too.
#ifndef KORVA_REPORTSERVER_COM_SESSION_H_
#define KORVA_REPORTSERVER_COM_SESSION_H_

#include "reportserver/com/com_support.h"
#include "reportserver/com/interface_stubs.h"
#include "reportserver/com/session_context.h"
#include "server/report_server.h"

namespace korva {

class SessionImpl : public ServerObject<SessionImpl, SessionStub> {
 public:
  explicit SessionImpl(SessionContextPtr ctx) : ctx_(std::move(ctx)) {}
  HRESULT STDMETHODCALLTYPE getPluginManager(PluginManager** out) override;
  HRESULT STDMETHODCALLTYPE getService(BSTR serverName, BSTR serviceName, IUnknown** out) override;

 private:
  ~SessionImpl() override = default;
  friend class RefCountedObject<SessionImpl>;
  SessionContextPtr ctx_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_SESSION_H_
