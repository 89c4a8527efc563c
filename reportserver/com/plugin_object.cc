// The desktop plugins of the plugin list.
#include "reportserver/com/plugin_object.h"

#include "reportserver/testing/fault_injection.h"
#include "reportserver/text/utf8.h"

namespace korva {

PluginObjectImpl* PluginObjectImpl::ours(DesktopPlugin* plugin) {
  return OwnObjects<PluginObjectImpl>::find(plugin);
}

HRESULT PluginObjectImpl::typeId(SHORT* out) {
  if (injectFault("typeId")) return E_FAIL;
  if (!out) return nullArgument("typeId");
  *out = plugin_.typeId;
  return S_OK;
}

HRESULT PluginObjectImpl::name(BSTR* out) {
  if (injectFault("name")) return E_FAIL;
  if (!out) return nullArgument("name");
  return answerText(plugin_.name, out);
}

}  // namespace korva
