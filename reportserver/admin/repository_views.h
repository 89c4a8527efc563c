// korvaserver's read-only views of a repository's snapshot (read at one
// moment, whole or as far as a user may see it): the tree of folders and
// reports, the users with their rights, and the repository as JSON.
//
// Thread-safety: pure functions of the snapshot; readLocalSnapshot and the
// view functions open their own connection or session.
#ifndef KORVA_REPORTSERVER_ADMIN_REPOSITORY_VIEWS_H_
#define KORVA_REPORTSERVER_ADMIN_REPOSITORY_VIEWS_H_

#include <cstdint>
#include <string>

#include "reportserver/store/store_records.h"
#include "reportserver/store/store_session.h"

namespace korva {

// The folders and reports as an indented tree: one line per object,
//   Folder 8 "Finance": "Quarterly numbers"
//     Report 9 "Q1", file Q1.rpt, 1234 bytes
// two blanks per level, the description after ": " when there is one, and for
// reports the file or ", no file". "(no folders or reports)" when empty.
// Titles and descriptions are JSON strings, file names escaped the same way
// (without quotes), so no control character reaches the terminal.
std::string describeTree(const RepositorySnapshot& s);

// The users in id order with full name, licence type, whether a password is
// set, and their rights:
//   User 7 "Administrator", full name "", licence 1 (concurrent), password no
//     View (2) on Folder 8 "Finance"
std::string describeUsers(const RepositorySnapshot& s);

// The whole repository as JSON: APS name, plugins, users and objects in id
// order, with rights and report files (name, size, SHA-256).
std::string dumpRepository(const RepositorySnapshot& s);

// The whole repository of the APS in the local server home (the APS name
// follows the logon's rules). False with *error (a full sentence) when it
// cannot be read.
bool readLocalSnapshot(const std::string& apsName, RepositorySnapshot* s, std::string* error);

// One of the views above.
using RepositoryView = std::string (*)(const RepositorySnapshot&);

// The view of the local APS's whole repository.
bool viewLocalRepository(const std::string& apsName, RepositoryView view, std::string* text,
                         std::string* error);

// The view of what the user may see: logs on to the APS (a local repository
// or a report server, store_session.h) and reads the session's snapshot.
// False with *error, the store's description, when either is refused.
bool viewRepositoryAs(const LogonRequest& logon, RepositoryView view, std::string* text,
                      std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ADMIN_REPOSITORY_VIEWS_H_
