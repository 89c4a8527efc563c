// The commit of a collection.
#include "reportserver/com/collection_commit.h"

#include <vector>

#include "reportserver/com/info_object.h"
#include "reportserver/com/info_objects.h"
#include "reportserver/com/session_context.h"
#include "reportserver/com/store_answer.h"
#include "reportserver/store/object_change.h"

namespace korva {

HRESULT commitCollection(InfoObjectsImpl& collection) {
  if (collection.isPluginList()) return S_OK;  // nothing in it can change

  std::vector<ObjectImpl*> work;
  std::vector<ObjectChange> changes;
  std::vector<ObjectImpl*> changed;  // changes[i] is changed[i]'s
  for (const Ref<ObjectImpl>& o : collection.objects()) {
    if (!o || o->isDeleted() || !o->hasPending()) continue;
    work.push_back(o.get());
    // A new object removed again before its commit stores nothing.
    if (o->isNew() && o->pending().remove) continue;
    changes.push_back(o->change());
    changed.push_back(o.get());
  }
  if (work.empty()) return S_OK;

  std::vector<ObjectRecord> stored;
  HRESULT hr = answerStoreStatus(
      collection.context()->store->commit(changes, collection.readMark(), &stored));
  if (FAILED(hr)) return hr;

  for (size_t i = 0; i < changed.size(); ++i) {
    if (!changes[i].pending.remove) changed[i]->committed(stored[i]);
  }
  bool removed = false;
  for (ObjectImpl* o : work) {
    if (!o->pending().remove) continue;
    o->committedRemoval();
    removed = true;
  }
  if (removed) collection.dropRemoved();
  return S_OK;
}

}  // namespace korva
