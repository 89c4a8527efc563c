// The store of an APS that is a host: `korvaserver serve` on HOST:PORT,
// reached over HTTPS (platform/https_client.h) with the wire messages of
// reportserver/wire/. The server runs the same store code on its repository,
// so logon, refusals and descriptions are those of a local repository; what
// this adds are the transport's own failures ("Cannot reach the report
// server HOST:PORT: ...", an untrusted certificate, a server that broke off),
// each failing the operation with its description.
//
// A commit sends the report files it names with its changes while they fit
// in wire::kMaxSentWithCommit bytes (one round trip for a small report), and
// first uploads each one that does not (streamed from the file, once per
// path); the server stores them all or nothing. A report's file is handed to
// the caller's sink as it arrives (download_receiver.h), never held whole.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: owns its HTTPS client (one kept connection); the server's
// session ends with a logoff when this goes.
#ifndef KORVA_REPORTSERVER_REMOTE_REMOTE_STORE_SESSION_H_
#define KORVA_REPORTSERVER_REMOTE_REMOTE_STORE_SESSION_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/https_client.h"
#include "reportserver/store/store_session.h"

namespace korva {

class RemoteStoreSession : public StoreSession {
 public:
  // Logs on to the server at endpoint.
  static StoreStatus logOn(const HttpsEndpoint& endpoint, const LogonRequest& request,
                           StoreSessionPtr* out);
  ~RemoteStoreSession() override;

  const SessionFacts& facts() const override { return facts_; }
  StoreStatus query(const ParsedQuery& query, QueryResult* out) override;
  StoreStatus commit(const std::vector<ObjectChange>& changes, int64_t readMark,
                     std::vector<ObjectRecord>* stored) override;
  StoreStatus snapshot(RepositorySnapshot* out) override;
  StoreStatus readReportFile(int32_t reportId, ReportFileSink& sink) override;
  StoreStatus history(int64_t beforeId, size_t limit, HistoryPage* out) override;
  StoreStatus lastChanges(std::vector<HistoryEntry>* out) override;

 private:
  explicit RemoteStoreSession(const HttpsEndpoint& endpoint);

  // Sends the request (with the session's token once there is one): S_OK
  // with *body the answer's body, whatever the status; else the transport's
  // failure.
  StoreStatus exchange(HttpsRequest request, std::string* body);
  // The refusal of the history's reads.
  StoreStatus historyNotRead() const;
  // Posts the JSON request and reads the answer's body with read, unless
  // the transport failed.
  StoreStatus post(std::string path, std::string request,
                   const std::function<StoreStatus(const std::string&)>& read);
  // Uploads the file at path: *id names it in the commit.
  StoreStatus upload(const std::string& path, std::string* id);

  HttpsEndpoint endpoint_;
  std::unique_ptr<HttpsClient> client_;
  std::string token_;
  SessionFacts facts_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_REMOTE_REMOTE_STORE_SESSION_H_
