// CMAMetaObjMap: an owning name -> meta object map over SIMap.
//
// Thread-safety and ownership: see meta_obj_map.h.
#include "instructions/meta_obj_map.h"

#include <new>

CMAMetaObjMap::~CMAMetaObjMap() { removeAll(); }

bool CMAMetaObjMap::add(CMAMetaObj* object) {
  if (!object) return false;
  try {
    // Copying the name shares its block; the key stays valid whatever later
    // happens to the object.
    const SAnsiString key(object->getName());
    // A new name (the usual case) is stored with one search of the map.
    if (pairs_.insert(key, object)) return true;
    auto it = pairs_.find(key);
    CMAMetaObj* earlier = it->second;
    it->second = object;
    // Adding an object that is already stored must not delete it.
    if (earlier != object) delete earlier;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CMAMetaObjMap::lookup(const SAnsiString& name, CMAMetaObj** out) const {
  if (!out) return false;
  CMAMetaObj* found = nullptr;
  if (!pairs_.lookup(name, found)) return false;
  *out = found;
  return true;
}

bool CMAMetaObjMap::getValues(CMAMetaObj*** out, int* count) const {
  if (out) *out = nullptr;
  if (count) *count = 0;
  if (!out || !count) return false;
  const int total = pairs_.getCount();
  CMAMetaObj** values = new (std::nothrow) CMAMetaObj*[total > 0 ? total : 1];
  if (!values) return false;
  int n = 0;
  for (const auto& pair : pairs_) values[n++] = pair.second;
  *out = values;
  *count = n;
  return true;
}

void CMAMetaObjMap::removeAll() {
  for (auto& pair : pairs_) {
    CMAMetaObj* object = pair.second;
    pair.second = nullptr;
    delete object;
  }
  pairs_.removeAll();
}
