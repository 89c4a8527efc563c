// Reading the stored heads of a commit's objects.
#include "reportserver/store/stored_heads.h"

#include <string>

namespace korva {
namespace {

std::string typeName(const SessionFacts& facts, int16_t typeId) {
  const PluginInfo* plugin = facts.pluginByType(typeId);
  return plugin ? plugin->name : "object of type " + std::to_string(typeId);
}

}  // namespace

StoreStatus takeStoredHeads(Database& db, const SessionFacts& facts,
                            std::vector<ObjectChange>* changes, std::vector<bool>* gone) {
  gone->assign(changes->size(), false);
  Statement st(db, "SELECT type_id, parent_id, title FROM objects WHERE id = ?1");
  for (size_t i = 0; i < changes->size(); ++i) {
    ObjectChange& o = (*changes)[i];
    if (o.isNew) {
      o.stored.id = 0;
      o.stored.typeId = o.plugin.typeId;  // what the writer stores and answers
      continue;
    }
    st.reset();
    st.bind(1, static_cast<int64_t>(o.stored.id));
    const int rc = st.step();
    if (rc == SQLITE_DONE) {
      if (!o.pending.remove) {
        return StoreStatus::failed("Nothing was committed. The " + o.label() +
                                   " no longer exists.");
      }
      (*gone)[i] = true;
      continue;
    }
    if (rc != SQLITE_ROW) {
      return StoreStatus::failed("Nothing was committed. Cannot read object " +
                                 std::to_string(o.stored.id) + ": " + db.lastMessage() + ".");
    }
    const auto type = static_cast<int16_t>(st.columnInt(0));
    if (o.plugin.typeId != type || o.stored.typeId != type) {
      const int16_t declared = o.plugin.typeId != type ? o.plugin.typeId : o.stored.typeId;
      return StoreStatus::badRequest(
          "The commit was refused: object " + std::to_string(o.stored.id) + " is a " +
          typeName(facts, type) + ", not a " + typeName(facts, declared) + ".");
    }
    o.stored.parentId = static_cast<int32_t>(st.columnInt(1));
    o.stored.title = st.columnText(2);
  }
  return StoreStatus::success();
}

}  // namespace korva
