// Reading a repository's snapshot (store_records.h) from its file: all of
// it for korvaserver's own views, or what one user may see for a session.
//
// Thread-safety: reads in a read transaction of the caller's connection.
#ifndef KORVA_REPORTSERVER_STORE_REPOSITORY_SNAPSHOT_H_
#define KORVA_REPORTSERVER_STORE_REPOSITORY_SNAPSHOT_H_

#include <cstdint>
#include <optional>
#include <string>

#include "reportserver/store/sqlite_db.h"
#include "reportserver/store/store_records.h"

namespace korva {

// Reads the repository in one read transaction: all of it, or, given a
// user, what that user may see (access_rules.h): every user, the info
// objects the user may see, and the rights on those.
bool readRepositorySnapshot(Database& db, std::optional<int32_t> visibleTo, RepositorySnapshot* out,
                            std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_REPOSITORY_SNAPSHOT_H_
