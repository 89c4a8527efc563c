// The repository file of one APS: opening it for a session or a report
// (upgrading an older schema, see repository_schema.h), creating it, and
// reading plugins and objects.
//
// Thread-safety: a Database is used by one thread at a time.
#ifndef KORVA_REPORTSERVER_STORE_REPOSITORY_H_
#define KORVA_REPORTSERVER_STORE_REPOSITORY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "reportserver/store/repository_schema.h"
#include "reportserver/store/sqlite_db.h"
#include "reportserver/store/store_records.h"

namespace korva {

constexpr int kBusyTimeoutMs = 10000;

// Opens an existing repository for reading and writing, sets WAL, full
// synchronous writes, foreign keys and the busy timeout, checks the schema
// version and upgrades an older one. *error describes any refusal; for a
// file that is no complete repository, it says to remove it.
bool openRepository(const std::string& path, Database* db, std::string* error);

// Creates a new repository file (never replacing one) with the plugins and
// the Administrator account. passwordRecord is a hashPassword() record, or
// "" for no password. The file is built under a temporary name beside it and
// appears under its own name only when complete.
bool createRepository(const std::string& path, const std::string& apsName,
                      const std::string& passwordRecord, std::string* error);

bool readSetting(Database& db, const std::string& key, std::string* value, std::string* error);
bool loadPlugins(Database& db, std::vector<PluginInfo>* out, std::string* error);

// Users (system = true) or every other object, meeting all terms, in id order.
bool loadObjects(Database& db, bool system, const std::vector<QueryTerm>& terms,
                 std::vector<ObjectRecord>* out, std::string* error);
// The same objects' heads alone: one table and the plugins, no user or report fields.
bool loadHeads(Database& db, bool system, const std::vector<QueryTerm>& terms,
               std::vector<ObjectHead>* out, std::string* error);

// A user's stored password record ("" when none) by exact name; *found
// tells whether the user exists.
bool findUserForLogon(Database& db, const std::string& name, int32_t* id, bool* found,
                      std::string* passwordRecord, std::string* error);

// The rights on one object, or every right when objectId is 0.
bool loadRights(Database& db, int32_t objectId, std::vector<RightRecord>* out, std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_REPOSITORY_H_
