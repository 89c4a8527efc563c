// The plugin manager of a session: hands out the list of desktop plugins.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: holds the session context.
#ifndef KORVA_REPORTSERVER_COM_PLUGIN_MANAGER_H_
#define KORVA_REPORTSERVER_COM_PLUGIN_MANAGER_H_

#include "reportserver/com/com_support.h"
#include "reportserver/com/interface_stubs.h"
#include "reportserver/com/session_context.h"
#include "server/report_server.h"

namespace korva {

class PluginManagerImpl : public ServerObject<PluginManagerImpl, PluginManagerStub> {
 public:
  explicit PluginManagerImpl(SessionContextPtr ctx) : ctx_(std::move(ctx)) {}
  HRESULT STDMETHODCALLTYPE getPlugins(BSTR kind, InfoObjects** out) override;

 private:
  ~PluginManagerImpl() override = default;
  friend class RefCountedObject<PluginManagerImpl>;
  SessionContextPtr ctx_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_PLUGIN_MANAGER_H_
