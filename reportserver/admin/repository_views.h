// korvaserver's read-only views of a repository: the tree of folders and
// reports, the users with their rights, and the whole repository as JSON.
// APS names follow the logon's rules; each view reads one consistent
// snapshot.
//
// Every function answers false with *error set (a full sentence) on failure.
// Thread-safety: each call opens its own connection.
#ifndef KORVA_REPORTSERVER_ADMIN_REPOSITORY_VIEWS_H_
#define KORVA_REPORTSERVER_ADMIN_REPOSITORY_VIEWS_H_

#include <string>

namespace korva {

// The folders and reports as an indented tree: one line per object,
//   Folder 8 "Finance": "Quarterly numbers"
//     Report 9 "Q1", file Q1.rpt, 1234 bytes
// two blanks per level, the description after ": " when there is one, and for
// reports the file or ", no file". "(no folders or reports)" when empty.
// Titles and descriptions are JSON strings, file names escaped the same way
// (without quotes), so no control character reaches the terminal.
bool describeTree(const std::string& apsName, std::string* text, std::string* error);

// The users in id order with full name, licence type, whether a password is
// set, and their rights:
//   User 7 "Administrator", full name "", licence 1 (concurrent), password no
//     View (2) on Folder 8 "Finance"
bool describeUsers(const std::string& apsName, std::string* text, std::string* error);

// The whole repository as JSON: APS name, plugins, users and objects in id
// order, with rights and report files (name, size, SHA-256).
bool dumpRepository(const std::string& apsName, std::string* json, std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ADMIN_REPOSITORY_VIEWS_H_
