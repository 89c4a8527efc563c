// The repository's schema: the tables a new repository gets, and the upgrade
// of a repository made with an older schema version.
//
// Version 3 (this one): the tables of version 2 and history (every change a
// commit stored: when, by whom, on which object, what changed).
// Version 2: settings (APS name, the Administrator's id),
// id_sequence (one sequence for plugins, users and objects), plugins (type
// id, name, kind), objects (every user, folder, report and other object),
// users and reports (their own fields; a report's file: its name, size and
// SHA-256, and the content that holds it), contents (a file's bytes as
// content_chunks rows of at most 1 MiB, its size and SHA-256 once complete),
// loose_contents (the contents no report holds: being staged, with the mark
// of the staging that owns them, or let go of, without one), rights (object,
// user, role). Triggers list a content as loose when its report takes
// another or goes.
// Version 1: a report's file was stored in report_chunks by report id.
//
// Thread-safety: a Database is used by one thread at a time.
#ifndef KORVA_REPORTSERVER_STORE_REPOSITORY_SCHEMA_H_
#define KORVA_REPORTSERVER_STORE_REPOSITORY_SCHEMA_H_

#include <cstdint>
#include <string>

#include "reportserver/store/sqlite_db.h"

namespace korva {

constexpr int kSchemaVersion = 3;
// The oldest version that is upgraded when opened.
constexpr int kOldestUpgradedSchemaVersion = 1;

// Creates every table of a new repository, inside the caller's transaction,
// and sets the schema version.
bool createSchema(Database& db, std::string* error);

// Brings a repository of an older version to this one in one transaction:
// all or nothing, every report's content kept. Does nothing when another
// connection has done it meanwhile.
bool upgradeSchema(Database& db, std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_REPOSITORY_SCHEMA_H_
