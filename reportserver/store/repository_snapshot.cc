// Reading a repository's snapshot, and narrowing it to what a user may see.
#include "reportserver/store/repository_snapshot.h"

#include <algorithm>
#include <set>

#include "reportserver/store/access_rules.h"
#include "reportserver/store/repository.h"

namespace korva {

namespace {

bool keepVisibleObjects(Database& db, int32_t userId, RepositorySnapshot* s, std::string* error) {
  std::vector<ObjectHead> heads;
  heads.reserve(s->objects.size());
  for (const ObjectRecord& o : s->objects) heads.push_back({o.id, o.typeId, o.parentId, o.title});
  if (!keepVisible(db, userId, &heads, error)) return false;
  std::set<int32_t> kept;
  for (const ObjectHead& h : heads) kept.insert(h.id);
  for (const ObjectRecord& u : s->users) kept.insert(u.id);
  s->objects.erase(std::remove_if(s->objects.begin(), s->objects.end(),
                                  [&](const ObjectRecord& o) { return !kept.count(o.id); }),
                   s->objects.end());
  s->rights.erase(std::remove_if(s->rights.begin(), s->rights.end(),
                                 [&](const RightRecord& r) { return !kept.count(r.objectId); }),
                  s->rights.end());
  return true;
}

}  // namespace

bool readRepositorySnapshot(Database& db, std::optional<int32_t> visibleTo, RepositorySnapshot* s,
                            std::string* error) {
  *s = RepositorySnapshot();
  Transaction tx(db);  // read only: rolled back when it goes
  std::string message;
  if (!tx.begin(&message)) {
    if (error) *error = "Cannot read the repository: " + message + ".";
    return false;
  }
  return readSetting(db, "aps", &s->aps, error) && loadPlugins(db, &s->plugins, error) &&
         loadObjects(db, true, {}, &s->users, error) &&
         loadObjects(db, false, {}, &s->objects, error) && loadRights(db, 0, &s->rights, error) &&
         (!visibleTo || keepVisibleObjects(db, *visibleTo, s, error));
}

}  // namespace korva
