// Logon, queries and commits on a repository of the local server home.
#include "reportserver/store/local_store_session.h"

#include <cstdlib>
#include <memory>
#include <utility>

#include "reportserver/store/access_rules.h"
#include "reportserver/store/change_writer.h"
#include "reportserver/store/history_reading.h"
#include "reportserver/store/named_repository.h"
#include "reportserver/store/password_hash.h"
#include "reportserver/store/report_content.h"
#include "reportserver/store/repository.h"
#include "reportserver/store/repository_snapshot.h"
#include "reportserver/store/server_home.h"
#include "reportserver/store/stored_heads.h"

namespace korva {

namespace {

// The description of a refused change to users or rights.
const char kAccessDeniedDescription[] =
    "The commit was refused: access denied. Only the Administrator account may change users "
    "and rights.";

// The value the id sequence hands out next.
int64_t nextId(Database& db, int64_t otherwise) {
  Statement st(db, "SELECT next_id FROM id_sequence");
  return st.step() == SQLITE_ROW ? st.columnInt(0) : otherwise;
}

bool changesUsersOrRights(const ObjectChange& o) { return o.isUser() || !o.pending.rights.empty(); }

// o: with its head as stored now (stored_heads.h).
ChangeRequest changeRequestOf(const ObjectChange& o) {
  ChangeRequest change;
  change.typeName = o.plugin.name;
  const PendingChanges& p = o.pending;
  if (o.isNew) {
    const ObjectRecord r = o.merged();
    change.kind = ChangeRequest::Kind::Add;
    change.title = r.title;
    change.parentId = r.parentId;
    return change;
  }
  change.kind = p.remove ? ChangeRequest::Kind::Delete : ChangeRequest::Kind::Change;
  change.id = o.stored.id;
  change.title = o.stored.title;
  // A move is judged against where the object is now: another session may
  // have moved it since this one read it.
  if (!p.remove && p.parentId && *p.parentId != o.stored.parentId) {
    change.newParentId = *p.parentId;
  }
  return change;
}

}  // namespace

StoreStatus LocalStoreSession::logOn(const LogonRequest& request, StoreSessionPtr* out) {
  std::string name, path, error;
  if (!repositoryLocation(request.apsName, &name, &path, &error)) {
    return isValidApsName(request.apsName) ? StoreStatus::failed(error)
                                           : StoreStatus::badRequest(error);
  }
  if (request.authentication != "secEnterprise") {
    return StoreStatus::badRequest("The authentication type \"" + request.authentication +
                                   "\" is not supported; use \"secEnterprise\".");
  }
  std::shared_ptr<LocalStoreSession> session(new LocalStoreSession());
  if (!openNamedRepository(request.apsName, &session->db_, &name, &error)) {
    return StoreStatus::failed(error);
  }
  session->path_ = path;
  SessionFacts& facts = session->facts_;
  facts.apsName = name;
  std::string adminId;
  if (!loadPlugins(session->db_, &facts.plugins, &error) ||
      !readSetting(session->db_, "administrator_id", &adminId, &error)) {
    return StoreStatus::failed(error);
  }
  session->administratorId_ = static_cast<int32_t>(std::strtol(adminId.c_str(), nullptr, 10));

  bool found = false;
  std::string record;
  if (!findUserForLogon(session->db_, request.user, &facts.userId, &found, &record, &error)) {
    return StoreStatus::failed(error);
  }
  if (!found) {
    return StoreStatus::denied("Logon refused: there is no user \"" + request.user +
                               "\" on APS \"" + name + "\".");
  }
  const bool matches =
      record.empty() ? request.password.empty() : verifyPassword(request.password, record);
  if (!matches) {
    return StoreStatus::denied("Logon refused: the password of user \"" + request.user +
                               "\" is wrong.");
  }
  facts.userName = request.user;
  facts.administrator = facts.userId == session->administratorId_;
  if (!facts.administrator) session->answers_.showOnlyWhatMayBeSeenBy(facts.userId);
  *out = std::move(session);
  return StoreStatus::success();
}

StoreStatus LocalStoreSession::query(const ParsedQuery& query, QueryResult* out) {
  // Read before the objects: whatever the read misses was stored later and
  // has an id at or above the mark (see the change writer's title check).
  out->readMark = nextId(db_, INT64_MAX);
  std::string error;
  if (!answers_.answer(db_, query, &out->rows, &error)) return StoreStatus::failed(error);
  return StoreStatus::success();
}

StoreStatus LocalStoreSession::checkRights(const std::vector<ObjectChange>& changes,
                                           const std::vector<bool>& gone) {
  if (facts_.administrator) return StoreStatus::success();
  for (size_t i = 0; i < changes.size(); ++i) {
    const ObjectChange& o = changes[i];
    if (o.isUser() || gone[i]) continue;  // users: refused before; gone: nothing to delete
    std::string description;
    switch (mayStore(db_, facts_.userId, facts_.userName, changeRequestOf(o), &description)) {
      case AccessAnswer::Granted:
        break;
      case AccessAnswer::Denied:
        return StoreStatus::denied(description);
      case AccessAnswer::Failed:
        return StoreStatus::failed("Nothing was committed. " + description);
    }
  }
  return StoreStatus::success();
}

StoreStatus LocalStoreSession::commit(const std::vector<ObjectChange>& declared, int64_t readMark,
                                      std::vector<ObjectRecord>* stored) {
  stored->assign(declared.size(), ObjectRecord());
  if (declared.empty()) return StoreStatus::success();
  if (!facts_.administrator) {
    for (const ObjectChange& o : declared) {
      if (changesUsersOrRights(o)) return StoreStatus::denied(kAccessDeniedDescription);
    }
  }

  // Every report file is read before the write lock is taken: no read of a
  // file, however slow, keeps another session waiting on the repository.
  StagedFiles staging(db_);
  for (const ObjectChange& o : declared) {
    const auto& path = o.pending.filePath;
    if (o.pending.remove || !path) continue;
    std::string error;
    if (!staging.stage(o.pending, &error))
      return StoreStatus::failed("Nothing was committed. " + error);
  }

  Transaction tx(db_);
  std::string message;
  if (!tx.begin(&message)) {
    return StoreStatus::failed("Cannot start the commit on " + path_ + ": " + message + ".");
  }
  answers_.beginCommit(db_);
  // From here on the objects' heads are the stored ones, not the declared.
  std::vector<ObjectChange> changes = declared;
  std::vector<bool> gone;
  StoreStatus allowed = takeStoredHeads(db_, facts_, &changes, &gone);
  if (allowed.ok()) allowed = checkRights(changes, gone);
  if (!allowed.ok()) return allowed;
  ChangeWriter writer(db_, administratorId_, readMark, nextId(db_, 0), staging,
                      {facts_.userId, facts_.userName});
  for (size_t i = 0; i < changes.size(); ++i) {
    const ObjectChange& o = changes[i];
    if (o.pending.remove) continue;
    const bool ok = o.isNew ? writer.insert(o, &(*stored)[i]) : writer.update(o, &(*stored)[i]);
    if (!ok) return StoreStatus::failed("Nothing was committed. " + writer.error());
  }
  for (const ObjectChange& o : changes) {
    if (!o.pending.remove || o.isNew) continue;
    if (!writer.remove(o)) return StoreStatus::failed("Nothing was committed. " + writer.error());
  }
  if (!tx.commit(&message)) {
    return StoreStatus::failed("Nothing was committed. Cannot finish the commit on " + path_ +
                               ": " + message + ".");
  }

  // What the session keeps of its queries follows what was stored.
  std::vector<StoredHead> added;
  bool headsChanged = false;
  for (size_t i = 0; i < changes.size(); ++i) {
    const ObjectChange& o = changes[i];
    const ObjectRecord& r = (*stored)[i];
    if (o.pending.remove) {
      headsChanged = headsChanged || !o.isNew;
    } else if (o.isNew) {
      added.push_back({{r.id, r.typeId, r.parentId, r.title}, o.isUser()});
    } else {
      headsChanged = headsChanged || o.pending.title || o.pending.parentId;
    }
  }
  answers_.committed(added, headsChanged);
  return StoreStatus::success();
}

std::optional<int32_t> LocalStoreSession::viewer() const {
  if (facts_.administrator) return std::nullopt;
  return facts_.userId;
}

StoreStatus LocalStoreSession::snapshot(RepositorySnapshot* out) {
  std::string error;
  if (!readRepositorySnapshot(db_, viewer(), out, &error)) return StoreStatus::failed(error);
  return StoreStatus::success();
}

StoreStatus LocalStoreSession::history(int64_t beforeId, size_t limit, HistoryPage* out) {
  std::string error;
  if (!readHistory(db_, viewer(), beforeId, limit, out, &error)) return StoreStatus::failed(error);
  return StoreStatus::success();
}

StoreStatus LocalStoreSession::lastChanges(std::vector<HistoryEntry>* out) {
  std::string error;
  if (!readLastChanges(db_, viewer(), out, &error)) return StoreStatus::failed(error);
  return StoreStatus::success();
}

StoreStatus LocalStoreSession::readReportFile(int32_t reportId, ReportFileSink& sink) {
  const StoreStatus noFile =
      StoreStatus::badRequest("There is no report " + std::to_string(reportId) + " with a file.");
  Transaction tx(db_);  // read only: rolled back when it goes
  std::string error;
  if (!tx.begin(&error)) {
    return StoreStatus::failed("Cannot read the repository " + path_ + ": " + error + ".");
  }
  std::vector<ObjectHead> heads;
  if (!loadHeads(db_, false, {{QueryTerm::Field::Id, reportId}}, &heads, &error)) {
    return StoreStatus::failed(error);
  }
  if (!facts_.administrator && !keepVisible(db_, facts_.userId, &heads, &error)) {
    return StoreStatus::failed(error);
  }
  if (heads.empty()) return noFile;
  switch (korva::readReportFile(db_, reportId, sink, &error)) {
    case ReportFileRead::Done:
      return StoreStatus::success();
    case ReportFileRead::NoFile:
      return noFile;
    case ReportFileRead::Stopped:
      return reportFileStopped(reportId);
    case ReportFileRead::Failed:
      break;
  }
  return StoreStatus::failed(error);
}

}  // namespace korva
