// Opening the repository of an APS by its name, in the server home: the
// name's checks, the repository's presence and its schema, each refusal with
// its description (the same for logon and for korvaserver).
//
// Thread-safety: each call opens its own connection.
#ifndef KORVA_REPORTSERVER_STORE_NAMED_REPOSITORY_H_
#define KORVA_REPORTSERVER_STORE_NAMED_REPOSITORY_H_

#include <string>

#include "reportserver/store/sqlite_db.h"

namespace korva {

// Whether the name is a valid APS name with a repository in the server home.
bool hasNamedRepository(const std::string& apsName);

// *normalName: the APS name lower-cased, set once the name is valid.
bool openNamedRepository(const std::string& apsName, Database* db, std::string* normalName,
                         std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_NAMED_REPOSITORY_H_
