// CMAMetaObjMap: the entries of one kind (users, folders or reports) by name,
// in ascending key order (the case-sensitive collation of SAnsiString keys, so
// names that differ only in letter case are different keys).
//
// Thread-safety: none; a map and its objects belong to one run on one thread.
// Ownership: the map owns every object it holds and deletes it when the object
// is replaced, on removeAll() and on destruction. Nobody else deletes them.
#ifndef KORVA_INSTRUCTIONS_META_OBJ_MAP_H_
#define KORVA_INSTRUCTIONS_META_OBJ_MAP_H_

#include "instructions/meta_objects.h"
#include "support/containers.h"
#include "support/sstring.h"

class CMAMetaObjMap {
 public:
  CMAMetaObjMap() = default;
  CMAMetaObjMap(const CMAMetaObjMap&) = delete;
  CMAMetaObjMap& operator=(const CMAMetaObjMap&) = delete;
  virtual ~CMAMetaObjMap();

  // Stores the object under its name and takes ownership of it. An object
  // already stored under an equal name is deleted and replaced. False for a
  // null object, and when memory ran out: the map is then unchanged and the
  // object still belongs to the caller.
  bool add(CMAMetaObj* object);

  // True and the stored object (still owned by the map) when the name is a
  // key; false with *out untouched otherwise.
  bool lookup(const SAnsiString& name, CMAMetaObj** out) const;

  // Hands out the objects in ascending name order: *out receives an array of
  // *count pointers allocated with new[] (non-null even when the map is
  // empty). The caller frees the array with delete[], never the objects,
  // which stay the map's. On failure: false, *out null and *count 0.
  bool getValues(CMAMetaObj*** out, int* count) const;

  // Deletes every object, then forgets every pair.
  void removeAll();

  int getCount() const { return pairs_.getCount(); }

 private:
  SIMap<SAnsiString, CMAMetaObj*> pairs_;
};

#endif  // KORVA_INSTRUCTIONS_META_OBJ_MAP_H_
