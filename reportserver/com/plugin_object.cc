// The desktop plugins of the plugin list.
#include "reportserver/com/plugin_object.h"

#include "reportserver/text/utf8.h"

namespace korva {

PluginObjectImpl* PluginObjectImpl::ours(DesktopPlugin* plugin) {
  return OwnObjects<PluginObjectImpl>::find(plugin);
}

HRESULT PluginObjectImpl::typeId(SHORT* out) {
  if (HRESULT hr = enterMethod("typeId", out); FAILED(hr)) return hr;
  *out = plugin_.typeId;
  return S_OK;
}

HRESULT PluginObjectImpl::name(BSTR* out) {
  if (HRESULT hr = enterMethod("name", out); FAILED(hr)) return hr;
  return answerText(plugin_.name, out);
}

}  // namespace korva
