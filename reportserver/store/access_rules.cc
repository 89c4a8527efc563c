// The rights a non-Administrator needs to see an object or to change it,
// read from the rights on the object and the folders above it.
#include "reportserver/store/access_rules.h"

#include <algorithm>
#include <map>

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

bool keepVisible(Database& db, int32_t userId, std::vector<ObjectHead>* heads, std::string* error) {
  auto readFailed = [&](const char* what) {
    if (error) *error = std::string("Cannot read ") + what + ": " + db.lastMessage() + ".";
    return false;
  };
  std::map<int32_t, int32_t> roles;  // the user's rights: object -> role
  {
    Statement st(db, "SELECT object_id, role FROM rights WHERE user_id = ?1");
    st.bind(1, static_cast<int64_t>(userId));
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
      roles[static_cast<int32_t>(st.columnInt(0))] = static_cast<int32_t>(st.columnInt(1));
    }
    if (rc != SQLITE_DONE) return readFailed("the rights");
  }
  if (roles.empty()) return true;
  // Folders above the objects, each read once; what was found for an object
  // on the way up holds for every object below it.
  std::map<int32_t, bool> seen;  // object -> visible
  Statement parentOf(db, "SELECT parent_id FROM objects WHERE id = ?1");
  bool failed = false;
  auto visible = [&](const ObjectHead& head) {
    std::vector<int32_t> way;
    int32_t id = head.id;
    int32_t parent = head.parentId;
    bool answer = true;  // no right on the way: what the top level gives everyone
    while (true) {
      auto role = roles.find(id);
      if (role != roles.end()) {
        answer = role->second != kNoAccessRole;
        break;
      }
      auto known = seen.find(id);
      if (known != seen.end()) {
        answer = known->second;
        break;
      }
      way.push_back(id);
      if (parent == 0) break;
      id = parent;
      parentOf.reset();
      parentOf.bind(1, static_cast<int64_t>(id));
      const int rc = parentOf.step();
      if (rc != SQLITE_ROW) {
        failed = rc != SQLITE_DONE;
        break;
      }
      parent = static_cast<int32_t>(parentOf.columnInt(0));
    }
    for (int32_t passed : way) seen[passed] = answer;
    return answer;
  };
  heads->erase(std::remove_if(heads->begin(), heads->end(),
                              [&](const ObjectHead& h) { return !visible(h); }),
               heads->end());
  if (failed) return readFailed("the folders above the objects");
  return true;
}

}  // namespace korva
