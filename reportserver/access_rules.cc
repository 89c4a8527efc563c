// The rights a non-Administrator needs for a change, read from the rights
// on the object and the folders above it.
#include "reportserver/access_rules.h"

namespace korva {
namespace {

// Whether the user holds FullControl on the object or on a folder above it.
AccessAnswer holdsFullControl(Database& db, int32_t userId, int32_t objectId) {
  Statement st(db,
               "WITH RECURSIVE chain(id) AS (SELECT ?1 UNION SELECT o.parent_id FROM objects o"
               " JOIN chain c ON o.id = c.id WHERE o.parent_id <> 0)"
               " SELECT 1 FROM rights r JOIN chain c ON r.object_id = c.id"
               " WHERE r.user_id = ?2 AND r.role = ?3 LIMIT 1");
  st.bind(1, static_cast<int64_t>(objectId));
  st.bind(2, static_cast<int64_t>(userId));
  st.bind(3, static_cast<int64_t>(kFullControlRole));
  int rc = st.step();
  if (rc == SQLITE_ROW) return AccessAnswer::Granted;
  return rc == SQLITE_DONE ? AccessAnswer::Denied : AccessAnswer::Failed;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string readFailure(Database& db, const std::string& userName) {
  return "Cannot read the rights of user " + quoted(userName) + ": " + db.lastMessage() + ".";
}

}  // namespace

AccessAnswer mayStore(Database& db, int32_t userId, const std::string& userName,
                      const ChangeRequest& change, std::string* description) {
  const std::string prefix =
      "The commit was refused: access denied. User " + quoted(userName) + " may not ";
  const std::string object =
      change.typeName + " " + std::to_string(change.id) + " " + quoted(change.title);

  // Where an object goes (an addition or a move) needs the right there.
  std::optional<int32_t> target;
  std::string action;
  if (change.kind == ChangeRequest::Kind::Add) {
    target = change.parentId;
    action = "add the " + change.typeName + " " + quoted(change.title);
  } else if (change.newParentId) {
    target = *change.newParentId;
    action = "move " + object;
  }
  if (target) {
    if (*target == 0) {
      *description = prefix + action + " at the top level: only the Administrator account may.";
      return AccessAnswer::Denied;
    }
    AccessAnswer answer = holdsFullControl(db, userId, *target);
    if (answer == AccessAnswer::Failed) *description = readFailure(db, userName);
    if (answer == AccessAnswer::Denied) {
      const std::string folder = "folder " + std::to_string(*target);
      *description = prefix + action + " to " + folder + ": that needs FullControl on " + folder +
                     " or on a folder above it.";
    }
    if (answer != AccessAnswer::Granted) return answer;
  }
  if (change.kind == ChangeRequest::Kind::Add) return AccessAnswer::Granted;

  AccessAnswer answer = holdsFullControl(db, userId, change.id);
  if (answer == AccessAnswer::Failed) *description = readFailure(db, userName);
  if (answer == AccessAnswer::Denied) {
    *description = prefix + (change.kind == ChangeRequest::Kind::Delete ? "delete " : "change ") +
                   object + ": that needs FullControl on it or on a folder above it.";
  }
  return answer;
}

}  // namespace korva
