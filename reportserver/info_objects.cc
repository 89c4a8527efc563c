// Query and plugin collections.
#include "reportserver/info_objects.h"

#include <utility>

#include "reportserver/fault_injection.h"

namespace korva {

InfoObjectsImpl::InfoObjectsImpl(SessionContextPtr ctx, std::vector<ObjectRecord> records)
    : ctx_(std::move(ctx)), pluginList_(false) {
  objects_.reserve(records.size());
  for (ObjectRecord& r : records) {
    const PluginInfo* plugin = ctx_->pluginByType(r.typeId);
    PluginInfo unknown;
    unknown.typeId = r.typeId;
    objects_.push_back(
        Ref<ObjectImpl>(new ObjectImpl(ctx_, plugin ? *plugin : unknown, std::move(r), this)));
  }
}

InfoObjectsImpl::InfoObjectsImpl(SessionContextPtr ctx, const std::vector<PluginInfo>& plugins)
    : ctx_(std::move(ctx)), pluginList_(true) {
  for (const PluginInfo& p : plugins)
    plugins_.push_back(Ref<PluginObjectImpl>(new PluginObjectImpl(p)));
}

InfoObjectsImpl::~InfoObjectsImpl() {
  for (Ref<ObjectImpl>& o : objects_) o->collectionReleased();
}

HRESULT InfoObjectsImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  if (iid == kIID_InfoObjects) return answerInterface(static_cast<InfoObjects*>(this), out);
  return E_NOINTERFACE;
}

HRESULT InfoObjectsImpl::count(int32_t* out) {
  if (injectFault("count")) return E_FAIL;
  if (!out) return nullArgument("count");
  *out = static_cast<int32_t>(pluginList_ ? plugins_.size() : objects_.size());
  return S_OK;
}

HRESULT InfoObjectsImpl::item(const Variant& index, Ref<InfoObject>* out) {
  if (injectFault("item")) return E_FAIL;
  if (!out) return nullArgument("item");
  out->reset();
  if (index.type() != Variant::Type::Int32) {
    return failWith(E_INVALIDARG, "item needs a 32-bit integer position.");
  }
  int64_t size = static_cast<int64_t>(pluginList_ ? plugins_.size() : objects_.size());
  int64_t i = index.asInt();
  if (i < 1 || i > size) {
    return failWith(
        E_INVALIDARG,
        "Position " + std::to_string(i) + " is outside the collection (" +
            (size == 0 ? std::string("which is empty") : "1 to " + std::to_string(size)) + ").");
  }
  if (pluginList_) {
    *out = Ref<InfoObject>(plugins_[static_cast<size_t>(i - 1)].get());
  } else {
    *out = Ref<InfoObject>(objects_[static_cast<size_t>(i - 1)].get());
  }
  return S_OK;
}

HRESULT InfoObjectsImpl::add(DesktopPlugin* plugin, Ref<InfoObject>* out) {
  if (injectFault("add")) return E_FAIL;
  if (!plugin || !out) return nullArgument("add");
  out->reset();
  if (pluginList_) return failWith(E_FAIL, "Objects cannot be added to the plugin list.");
  auto* ours = dynamic_cast<PluginObjectImpl*>(plugin);
  const PluginInfo* known = ours ? ctx_->pluginByType(ours->plugin().typeId) : nullptr;
  if (!known || known->name != ours->plugin().name) {
    return failWith(E_INVALIDARG,
                    "The plugin passed to add is not a desktop plugin of this repository.");
  }
  Ref<ObjectImpl> created(new ObjectImpl(ctx_, *known, this));
  objects_.push_back(created);
  *out = Ref<InfoObject>(created.get());
  return S_OK;
}

HRESULT InfoObjectsImpl::remove(const Variant& object) {
  if (injectFault("remove")) return E_FAIL;
  if (pluginList_) return failWith(E_FAIL, "Plugins cannot be removed.");
  if (object.type() != Variant::Type::Object) {
    return failWith(E_INVALIDARG, "remove needs a variant holding the object to delete.");
  }
  if (!object.asObject()) return nullArgument("remove");
  auto* target = dynamic_cast<ObjectImpl*>(object.asObject());
  if (!target || target->owner() != this) {
    return failWith(E_INVALIDARG, "The object passed to remove is not in this collection.");
  }
  HRESULT hr = target->checkChangeable();
  if (failed(hr)) return hr;
  target->pendRemove();
  return S_OK;
}

void InfoObjectsImpl::dropRemoved() {
  std::vector<Ref<ObjectImpl>> kept;
  for (Ref<ObjectImpl>& o : objects_) {
    if (o->isDeleted()) {
      o->collectionReleased();
    } else {
      kept.push_back(o);
    }
  }
  objects_.swap(kept);
}

}  // namespace korva
