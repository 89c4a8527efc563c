// The session: its InfoStore service and its plugin manager.
#include "reportserver/com/session.h"

#include "com/ref.h"
#include "reportserver/com/info_store.h"
#include "reportserver/com/plugin_manager.h"
#include "reportserver/text/utf8.h"

namespace korva {

HRESULT SessionImpl::getPluginManager(PluginManager** out) {
  if (HRESULT hr = enterMethod("getPluginManager", out); FAILED(hr)) return hr;
  *out = Ref<PluginManager>(new PluginManagerImpl(ctx_)).detach();
  return S_OK;
}

HRESULT SessionImpl::getService(BSTR serverName, BSTR serviceName, IUnknown** out) {
  if (HRESULT hr = enterMethod("getService", serverName, serviceName, out); FAILED(hr)) return hr;
  if (textOf(serviceName) != "InfoStore") {
    return failWith(E_INVALIDARG, "There is no service \"" + textOf(serviceName) +
                                      "\"; this server offers \"InfoStore\".");
  }
  // The server name picks a server among several; there is only this one.
  // The service is handed out as its base interface: the client asks it for
  // the InfoStore.
  *out = Ref<IUnknown>(static_cast<InfoStore*>(new InfoStoreImpl(ctx_))).detach();
  return S_OK;
}

}  // namespace korva
