// The desktop plugin list of a session.
#include "reportserver/com/plugin_manager.h"

#include "com/ref.h"
#include "reportserver/com/info_objects.h"
#include "reportserver/text/utf8.h"

namespace korva {

HRESULT PluginManagerImpl::getPlugins(BSTR kind, InfoObjects** out) {
  if (HRESULT hr = enterMethod("getPlugins", kind, out); FAILED(hr)) return hr;
  if (textOf(kind) != "Desktop") {
    return failWith(E_INVALIDARG,
                    "There are no \"" + textOf(kind) + "\" plugins; ask for \"Desktop\".");
  }
  std::vector<PluginInfo> listed;
  for (const PluginInfo& p : ctx_->store->facts().plugins) {
    auto planned = ctx_->pluginPlan.find(p.name);
    int times = planned == ctx_->pluginPlan.end() ? 1 : planned->second;
    for (int i = 0; i < times; ++i) listed.push_back(p);
  }
  *out = Ref<InfoObjects>(new InfoObjectsImpl(ctx_, listed)).detach();
  return S_OK;
}

}  // namespace korva
