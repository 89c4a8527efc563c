// Opening a repository by APS name for korvaserver's views, with the same
// refusals as logon.
//
// Thread-safety: each call opens its own connection.
#ifndef KORVA_REPORTSERVER_REPOSITORY_ACCESS_H_
#define KORVA_REPORTSERVER_REPOSITORY_ACCESS_H_

#include <string>

#include "reportserver/sqlite_db.h"

namespace korva {

bool openNamedRepository(const std::string& apsName, Database* db, std::string* normalName,
                         std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_REPOSITORY_ACCESS_H_
