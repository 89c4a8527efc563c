// Who may see and who may store which change to folders, reports and the
// other info objects. The Administrator may do everything and sees
// everything.
//
// Seeing: a user sees an info object unless the nearest right the user holds
// on the object or on a folder above it (the object's own first, then its
// parent's, and so on up) is NoAccess; with no right anywhere on that way,
// the object is shown, as the top level lets everyone view. Users (system
// objects) are shown to every user who is logged on.
//
// Changing: any other user may add an object under a folder, change one or
// delete one only where it holds FullControl on that object (for an
// addition: on the folder it goes into) or on a folder above it; only the
// Administrator adds objects at the top (parent 0). Users and rights are the
// Administrator's alone; the commit refuses those before it gets here.
//
// Thread-safety: reads through the caller's connection (inside its
// transaction for a commit, so the answer holds for what that transaction
// writes).
#ifndef KORVA_REPORTSERVER_STORE_ACCESS_RULES_H_
#define KORVA_REPORTSERVER_STORE_ACCESS_RULES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reportserver/store/repository.h"
#include "reportserver/store/sqlite_db.h"

namespace korva {

// The role that gives every change on an object and on everything below it.
constexpr int32_t kFullControlRole = 5;
// The role that hides an object (and what lies below it, unless a right
// nearer to that object says otherwise).
constexpr int32_t kNoAccessRole = 1;

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

// Leaves in heads only the info objects the user may see (see above); false
// with *error when the repository cannot be read.
bool keepVisible(Database& db, int32_t userId, std::vector<ObjectHead>* heads, std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_ACCESS_RULES_H_
