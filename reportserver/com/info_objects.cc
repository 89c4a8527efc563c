// Query and plugin collections.
#include "reportserver/com/info_objects.h"

#include <optional>
#include <utility>

#include "com/ref.h"
#include "com/variant.h"

namespace korva {

// What a released collection leaves with its rows (AnswerRows::spare).
using SpareObjects = std::vector<Ref<ObjectImpl>>;

InfoObjectsImpl::InfoObjectsImpl(SessionContextPtr ctx, AnswerRowsPtr rows)
    : ctx_(std::move(ctx)), pluginList_(false), rows_(std::move(rows)) {
  rowCount_ = rows_->heads.size();
  if (rows_->spare) {
    objects_.swap(*static_cast<SpareObjects*>(rows_->spare.get()));
    rows_->spare.reset();
  }
  objects_.resize(rowCount_);
}

InfoObjectsImpl::InfoObjectsImpl(SessionContextPtr ctx, const std::vector<PluginInfo>& plugins)
    : ctx_(std::move(ctx)), pluginList_(true) {
  for (const PluginInfo& p : plugins)
    plugins_.push_back(Ref<PluginObjectImpl>(new PluginObjectImpl(p)));
}

InfoObjectsImpl::~InfoObjectsImpl() {
  const bool leave = rows_ && !rows_->spare;
  for (size_t i = 0; i < objects_.size(); ++i) {
    Ref<ObjectImpl>& o = objects_[i];
    if (!o) continue;
    o->collectionReleased();
    if (!leave || i >= rowCount_ || !o->unshared() || o->isDeleted() || o->headChanged()) {
      o.reset();
    }
  }
  if (leave) {
    objects_.resize(rowCount_);
    rows_->spare = std::make_shared<SpareObjects>(std::move(objects_));
  }
}

ObjectImpl* InfoObjectsImpl::objectAt(size_t at) {
  Ref<ObjectImpl>& slot = objects_[at];
  if (!slot) {
    const ObjectHead& head = rows_->heads[at];
    const PluginInfo* plugin = ctx_->store->facts().pluginByType(head.typeId);
    PluginInfo unknown;
    unknown.typeId = head.typeId;
    slot = Ref<ObjectImpl>(new ObjectImpl(plugin ? *plugin : unknown, head, this));
  } else if (slot->owner() != this) {
    slot->attach(this);  // left by an earlier collection of the same rows
  }
  return slot.get();
}

InfoObjectsImpl* InfoObjectsImpl::ours(InfoObjects* objects) {
  return OwnObjects<InfoObjectsImpl>::find(objects);
}

HRESULT InfoObjectsImpl::count(LONG* out) {
  if (HRESULT hr = enterMethod("count", out); FAILED(hr)) return hr;
  *out = static_cast<LONG>(pluginList_ ? plugins_.size() : objects_.size());
  return S_OK;
}

HRESULT InfoObjectsImpl::item(VARIANT position, IDispatch** out) {
  if (HRESULT hr = enterMethod("item", out); FAILED(hr)) return hr;
  const std::optional<LONG> given = variantAs<LONG>(position);
  if (!given) return failWith(E_INVALIDARG, "item needs a 32-bit integer position.");
  int64_t size = static_cast<int64_t>(pluginList_ ? plugins_.size() : objects_.size());
  int64_t i = *given;
  if (i < 1 || i > size) {
    return failWith(
        E_INVALIDARG,
        "Position " + std::to_string(i) + " is outside the collection (" +
            (size == 0 ? std::string("which is empty") : "1 to " + std::to_string(size)) + ").");
  }
  const size_t at = static_cast<size_t>(i - 1);
  IDispatch* object = pluginList_ ? static_cast<IDispatch*>(plugins_[at].get())
                                  : static_cast<IDispatch*>(static_cast<InfoObject*>(objectAt(at)));
  object->AddRef();
  *out = object;
  return S_OK;
}

HRESULT InfoObjectsImpl::add(DesktopPlugin* plugin, InfoObject** out) {
  if (HRESULT hr = enterMethod("add", plugin, out); FAILED(hr)) return hr;
  if (pluginList_) return failWith(E_FAIL, "Objects cannot be added to the plugin list.");
  PluginObjectImpl* ours = PluginObjectImpl::ours(plugin);
  const PluginInfo* known =
      ours ? ctx_->store->facts().pluginByType(ours->plugin().typeId) : nullptr;
  if (!known || known->name != ours->plugin().name) {
    return failWith(E_INVALIDARG,
                    "The plugin passed to add is not a desktop plugin of this repository.");
  }
  Ref<ObjectImpl> created(new ObjectImpl(*known, this));
  objects_.push_back(created);
  *out = Ref<InfoObject>(created.get()).detach();
  return S_OK;
}

HRESULT InfoObjectsImpl::remove(VARIANT object) {
  if (HRESULT hr = enterMethod("remove"); FAILED(hr)) return hr;
  if (pluginList_) return failWith(E_FAIL, "Plugins cannot be removed.");
  const std::optional<IDispatch*> given = variantAs<IDispatch*>(object);
  if (!given) {
    return failWith(E_INVALIDARG, "remove needs a variant holding the object to delete.");
  }
  if (!*given) return nullArgument("remove");
  // Only an object of this collection can be removed through it: it is
  // found among them, never taken on trust.
  ObjectImpl* target = nullptr;
  for (const Ref<ObjectImpl>& o : objects_) {
    if (o && static_cast<IDispatch*>(static_cast<InfoObject*>(o.get())) == *given) {
      target = o.get();
      break;
    }
  }
  if (!target || target->owner() != this) {
    return failWith(E_INVALIDARG, "The object passed to remove is not in this collection.");
  }
  HRESULT hr = target->checkChangeable();
  if (FAILED(hr)) return hr;
  target->pendRemove();
  return S_OK;
}

void InfoObjectsImpl::dropRemoved() {
  bool any = false;
  for (const Ref<ObjectImpl>& o : objects_) any = any || (o && o->isDeleted());
  if (!any) return;
  // Positions move: every object is made first, so none is left to its row.
  for (size_t i = 0; i < rowCount_; ++i) objectAt(i);
  rowCount_ = 0;
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
