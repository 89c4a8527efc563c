// The store of an APS whose repository is a SQLite file of the local server
// home: logon against its users, queries answered from its tables (and kept,
// query_answers.h), commits in one write transaction (change_writer.h), with
// the rights rules of access_rules.h.
//
// Thread-safety: one thread at a time, like the session; other sessions and
// processes are kept out by SQLite's locks (the busy timeout waits for them).
// Ownership: owns its connection to the repository.
#ifndef KORVA_REPORTSERVER_STORE_LOCAL_STORE_SESSION_H_
#define KORVA_REPORTSERVER_STORE_LOCAL_STORE_SESSION_H_

#include <cstdint>
#include <string>
#include <vector>

#include "reportserver/store/query_answers.h"
#include "reportserver/store/sqlite_db.h"
#include "reportserver/store/store_session.h"

namespace korva {

class LocalStoreSession : public StoreSession {
 public:
  // Logs on to the repository of request.apsName in the server home.
  static StoreStatus logOn(const LogonRequest& request, StoreSessionPtr* out);

  const SessionFacts& facts() const override { return facts_; }
  StoreStatus query(const ParsedQuery& query, QueryResult* out) override;
  StoreStatus commit(const std::vector<ObjectChange>& changes, int64_t readMark,
                     std::vector<ObjectRecord>* stored) override;
  StoreStatus snapshot(RepositorySnapshot* out) override;
  StoreStatus readReportFile(int32_t reportId, ReportFileSink& sink) override;

 private:
  LocalStoreSession() = default;

  // changes: with their heads as stored now; gone: removals of objects that
  // are gone (stored_heads.h).
  StoreStatus checkRights(const std::vector<ObjectChange>& changes, const std::vector<bool>& gone);

  Database db_;
  std::string path_;
  int32_t administratorId_ = 0;
  SessionFacts facts_;
  QueryAnswers answers_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_LOCAL_STORE_SESSION_H_
