// A desktop plugin as the plugin list hands it out: read-only, its type id
// and name.
//
// Thread-safety: read-only once made.
// Ownership: holds a copy of the plugin's record.
#ifndef KORVA_REPORTSERVER_COM_PLUGIN_OBJECT_H_
#define KORVA_REPORTSERVER_COM_PLUGIN_OBJECT_H_

#include "reportserver/com/com_support.h"
#include "reportserver/com/interface_stubs.h"
#include "reportserver/store/store_records.h"
#include "server/report_server.h"

namespace korva {

// A desktop plugin: read-only, its type id and name. Known by its
// DesktopPlugin pointer (ours()) while it lives.
class PluginObjectImpl : public ServerObject<PluginObjectImpl, DesktopPluginStub> {
 public:
  explicit PluginObjectImpl(const PluginInfo& plugin) : plugin_(plugin) {}

  // The plugin behind a DesktopPlugin pointer a client hands back, or null
  // when it is not one of this server's plugins.
  static PluginObjectImpl* ours(DesktopPlugin* plugin);

  HRESULT STDMETHODCALLTYPE typeId(SHORT* out) override;
  HRESULT STDMETHODCALLTYPE name(BSTR* out) override;

  const PluginInfo& plugin() const { return plugin_; }

 private:
  ~PluginObjectImpl() override = default;
  friend class RefCountedObject<PluginObjectImpl>;

  PluginInfo plugin_;
  OwnObjects<PluginObjectImpl>::Entry own_{static_cast<DesktopPlugin*>(this), this};
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_PLUGIN_OBJECT_H_
