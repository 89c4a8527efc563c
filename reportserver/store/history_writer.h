// Writes the history entries of one commit (history_entry.h), inside the
// commit's write transaction: the change writer calls it for each object it
// stores, each right it sets and each object it deletes. An entry says what
// changed in a short text; a change that leaves every field as it was writes
// no entry.
//
// Thread-safety: one thread, inside one transaction.
// Ownership: uses the caller's connection for its lifetime.
#ifndef KORVA_REPORTSERVER_STORE_HISTORY_WRITER_H_
#define KORVA_REPORTSERVER_STORE_HISTORY_WRITER_H_

#include <cstdint>
#include <optional>
#include <string>

#include "reportserver/store/object_change.h"
#include "reportserver/store/sqlite_db.h"
#include "reportserver/store/store_records.h"

namespace korva {

class HistoryWriter {
 public:
  // The entries name the user who commits.
  HistoryWriter(Database& db, int32_t userId, std::string userName);

  // Each answers false with error() set when the entry cannot be stored.
  bool added(const PluginInfo& plugin, const ObjectRecord& object);
  // before and after: the object as stored before and after the change;
  // pending: what the commit changed (a password is never compared).
  bool updated(const PluginInfo& plugin, const ObjectRecord& before, const ObjectRecord& after,
               const PendingChanges& pending);
  // The user's role on the object; before: the role it replaced, if any.
  bool rightSet(const PluginInfo& plugin, const ObjectRecord& object, int32_t userId,
                const std::string& userName, int32_t role, std::optional<int32_t> before);
  // An object deleted (what it was); takenWith: the label of the object whose
  // deletion took it along ("Folder 12"), "" for one the commit deleted itself.
  bool deleted(const ObjectHead& object, const std::string& typeName,
               const std::string& takenWith);

  const std::string& error() const { return error_; }

 private:
  // "the top level", or "folder 12 \"Finance\"" (its title as stored now).
  std::string place(int32_t folderId);
  bool record(const char* action, int32_t objectId, int16_t typeId, const std::string& typeName,
              const std::string& title, const std::string& change);

  Database& db_;
  const int32_t userId_;
  const std::string userName_;
  std::string error_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_HISTORY_WRITER_H_
