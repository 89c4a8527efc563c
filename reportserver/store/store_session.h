// The repository as one logged-on session reaches it: the only road from the
// server's COM objects to what is stored. A session asks for light
// collections (the heads of the objects a query matches) and commits the
// changes of a collection, all or nothing; who it is and which plugins there
// are it learns at logon. Every rights decision is the store's: a session of
// a user other than the Administrator is answered only what that user may
// see, and a change the user may not make is refused.
//
// The SQLite repository of the local server home is one implementation
// (local_store_session.h).
//
// Thread-safety: one thread at a time per session.
// Ownership: the COM objects of a session share it (shared_ptr); it owns its
// connection.
#ifndef KORVA_REPORTSERVER_STORE_STORE_SESSION_H_
#define KORVA_REPORTSERVER_STORE_STORE_SESSION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "reportserver/store/answer_rows.h"
#include "reportserver/store/object_change.h"
#include "reportserver/store/query_parser.h"
#include "reportserver/store/report_file_sink.h"
#include "reportserver/store/store_records.h"
#include "reportserver/store/store_status.h"

namespace korva {

// What logon asks for; texts as the client gave them, UTF-8.
struct LogonRequest {
  std::string user;
  std::string password;
  std::string apsName;
  std::string authentication;
};

// Who is logged on where, and the repository's plugins, as logon found them.
struct SessionFacts {
  std::string apsName;  // lower-cased
  int32_t userId = 0;
  std::string userName;
  bool administrator = false;
  std::vector<PluginInfo> plugins;  // in list order

  const PluginInfo* pluginByType(int16_t typeId) const {
    for (const PluginInfo& p : plugins) {
      if (p.typeId == typeId) return &p;
    }
    return nullptr;
  }
};

// A query's answer: the matching objects' heads, and the read mark.
struct QueryResult {
  AnswerRowsPtr rows;
  // An object with an id at or above the mark was stored after the query
  // read (see StoreSession::commit).
  int64_t readMark = 0;
};

class StoreSession {
 public:
  virtual ~StoreSession() = default;

  virtual const SessionFacts& facts() const = 0;

  // The objects the query matches now, as far as the user may see them.
  virtual StoreStatus query(const ParsedQuery& query, QueryResult* out) = 0;

  // Stores the changes all or nothing. readMark: that of the query whose
  // collection holds the objects (INT64_MAX when no query read it): an added
  // object whose kind, folder and title another session stored at or after
  // that mark is refused as an unwanted twin. *stored receives, for each
  // change in order, the object as now stored (empty records for removals).
  // Of an existing object's head only the id counts: type, folder and title
  // are read from the repository, and a change that names another type is
  // refused (badRequest).
  virtual StoreStatus commit(const std::vector<ObjectChange>& changes, int64_t readMark,
                             std::vector<ObjectRecord>* stored) = 0;

  // The repository read at one moment, as far as the user may see it: every
  // user, the info objects the user may see, and the rights on those.
  virtual StoreStatus snapshot(RepositorySnapshot* out) = 0;

  // Hands a report's file to the sink: what it is, then its bytes. A report
  // the user may not see is answered as one that does not exist. A sink that
  // says stop ends the reading with a failure.
  virtual StoreStatus readReportFile(int32_t reportId, ReportFileSink& sink) = 0;
};

using StoreSessionPtr = std::shared_ptr<StoreSession>;

// Logs on: finds the APS's repository, checks the user and the password, and
// hands out the session. Every refusal is described.
StoreStatus logOnToStore(const LogonRequest& request, StoreSessionPtr* out);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_STORE_SESSION_H_
