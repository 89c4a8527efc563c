// Logon: from the four texts to a session on the APS's repository, with a
// clear description for every refusal.
#include "reportserver/com/session_manager.h"

#include <memory>

#include "reportserver/com/session.h"
#include "reportserver/com/session_context.h"
#include "reportserver/com/store_answer.h"
#include "reportserver/store/store_session.h"
#include "reportserver/testing/fault_injection.h"
#include "reportserver/text/utf8.h"

namespace korva {

IUnknown* SessionManagerImpl::interfaceFor(REFIID iid) {
  if (iid == IID_SessionManager) return this;
  return dispatchInterface(this, iid);
}

HRESULT SessionManagerImpl::logon(BSTR user, BSTR password, BSTR apsName, BSTR authentication,
                                  Session** session) {
  if (HRESULT hr = enterMethod("logon", user, password, apsName, authentication, session);
      FAILED(hr)) {
    return hr;
  }

  const LogonRequest request{textOf(user), textOf(password), textOf(apsName),
                             textOf(authentication)};
  auto ctx = std::make_shared<SessionContext>();
  HRESULT hr = answerStoreStatus(logOnToStore(request, &ctx->store));
  if (FAILED(hr)) return hr;
  ctx->pluginPlan = pluginPlan_;
  *session = Ref<Session>(new SessionImpl(ctx)).detach();
  return S_OK;
}

HRESULT createSessionManager(IUnknown* outer, REFIID iid, void** out) {
  HRESULT hr = beginCreate(outer, out, "SessionManager");
  if (FAILED(hr)) return hr;
  Ref<SessionManagerImpl> manager(new SessionManagerImpl(currentPluginPlan()));
  return manager->QueryInterface(iid, out);
}

}  // namespace korva
