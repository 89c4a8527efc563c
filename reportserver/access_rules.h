// Who may store which change to folders, reports and the other info objects.
// The Administrator may do everything. Any other user may add an object under
// a folder, change one or delete one only where it holds FullControl on that
// object (for an addition: on the folder it goes into) or on a folder above
// it; only the Administrator adds objects at the top (parent 0). Users and
// rights are the Administrator's alone; the commit refuses those before it
// gets here.
//
// Thread-safety: reads through the caller's connection, inside its
// transaction, so the answer holds for what that transaction writes.
#ifndef KORVA_REPORTSERVER_ACCESS_RULES_H_
#define KORVA_REPORTSERVER_ACCESS_RULES_H_

#include <cstdint>
#include <optional>
#include <string>

#include "reportserver/sqlite_db.h"

namespace korva {

// The role that gives every change on an object and on everything below it.
constexpr int32_t kFullControlRole = 5;

// One change a commit is about to store, as the rules see it.
struct ChangeRequest {
  enum class Kind { Add, Change, Delete };
  Kind kind = Kind::Change;
  std::string typeName;                // "Folder", "Report", ...
  int32_t id = 0;                      // of a stored object (Change, Delete)
  std::string title;                   // the title it has (Change, Delete) or will have (Add)
  int32_t parentId = 0;                // where an added object goes
  std::optional<int32_t> newParentId;  // a stored object moved elsewhere
};

enum class AccessAnswer { Granted, Denied, Failed };

// Whether the user may store the change. Denied: *description names the user,
// the object and the missing right; Failed: the repository could not be read.
AccessAnswer mayStore(Database& db, int32_t userId, const std::string& userName,
                      const ChangeRequest& change, std::string* description);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ACCESS_RULES_H_
