// The network server's operations.
#include "reportserver/serve/report_service.h"

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "reportserver/serve/report_download.h"
#include "reportserver/serve/serve_logon.h"
#include "reportserver/store/local_store_session.h"
#include "reportserver/wire/wire_messages.h"

namespace korva {

namespace {

ServiceReply malformed(const std::string& description, const std::string& user = "") {
  return ServiceReply::failure(400, StoreStatus::badRequest(description), user);
}

ServiceReply withUser(ServiceReply reply, const std::string& user) {
  reply.user = user;
  return reply;
}

// The refusal of a file the spool did not store; none when it did.
std::optional<ServiceReply> spoolRefusal(UploadSpool::Outcome outcome, const std::string& name,
                                         const std::string& error, uint64_t maxBytes,
                                         const std::string& user) {
  switch (outcome) {
    case UploadSpool::Outcome::Stored:
      break;
    case UploadSpool::Outcome::BadName:
      return malformed(
          "The upload's name \"" + name + "\" is no file name (one to 255 bytes, without \"/\").",
          user);
    case UploadSpool::Outcome::TooLarge:
      return withUser(ReportService::tooLarge("file", maxBytes), user);
    case UploadSpool::Outcome::BrokeOff:
      return malformed("The file broke off before its end; nothing of it was kept.", user);
    case UploadSpool::Outcome::Failed:
      return ServiceReply::failure(200, StoreStatus::failed(error), user);
  }
  return std::nullopt;
}

// The count of the commit's sent parameter: decimal digits only.
bool readByteCount(const std::string& text, uint64_t* count) {
  if (text.empty() || text.size() > 18) return false;
  *count = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    *count = *count * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

// The reply of a store operation: its answer, or its refusal with status 200.
ServiceReply storeReply(const StoreStatus& status, std::string body, const std::string& user) {
  if (!status.ok()) return ServiceReply::failure(200, status, user);
  return ServiceReply::answer(std::move(body), user);
}

// Runs work(lease, user) on the token's session once no other request uses
// it; the reply of an unknown session otherwise.
template <typename Work>
ServiceReply onSession(SessionTable& sessions, const std::string& token, Work work) {
  std::unique_ptr<SessionTable::Lease> lease = sessions.lease(token);
  if (!lease) return ReportService::unknownSession(token);
  const std::string user = lease->store().facts().userName;
  return work(lease, user);
}

}  // namespace

ReportService::ReportService(const ServeOptions& options, SessionTable& sessions,
                             UploadSpool& spool, LogonThrottle& throttle)
    : options_(options), sessions_(sessions), spool_(spool), throttle_(throttle) {}

ServiceReply ReportService::unknownSession(const std::string& token) {
  return ServiceReply::failure(
      401, StoreStatus::denied(token.empty()
                                   ? "The request names no session (it carries no session token)."
                                   : "The report server keeps no such session: it ended, expired "
                                     "or never was."));
}

ServiceReply ReportService::tooLarge(const std::string& what, uint64_t limit) {
  return ServiceReply::failure(
      413, StoreStatus::badRequest("The " + what + " is larger than the report server takes (" +
                                   std::to_string(limit) + " bytes)."));
}

ServiceReply ReportService::logon(const std::string& body) {
  LogonRequest request;
  std::string error;
  if (!wire::readLogonRequest(body, &request, &error)) return malformed(error);
  StoreSessionPtr session;
  const StoreStatus status = logOnServed(request, options_, throttle_, &session);
  if (!status.ok()) return ServiceReply::failure(200, status, request.user);
  const SessionFacts facts = session->facts();
  const std::string token = sessions_.add(std::move(session));
  if (token.empty()) {
    return ServiceReply::failure(200, tooManySessions(options_.maxSessions), request.user);
  }
  return ServiceReply::answer(wire::logonAnswerBody(token, facts), request.user);
}

ServiceReply ReportService::query(const std::string& token, const std::string& body) {
  return onSession(sessions_, token, [&](auto& lease, const std::string& user) {
    ParsedQuery query;
    std::string error;
    if (!wire::readQueryRequest(body, &query, &error)) return malformed(error, user);
    QueryResult result;
    const StoreStatus status = lease->store().query(query, &result);
    return storeReply(status, status.ok() ? wire::queryAnswerBody(result) : "", user);
  });
}

ServiceReply ReportService::upload(const std::string& name, const BodyReader& read) {
  // The body opens with the session's line: the file's bytes reach the spool
  // only once that names a session, and the reading stops when it does not.
  std::string line, token, user;
  bool lineRead = false, known = false;
  const BodyReader file = [&](const BodySink& sink) {
    return read([&](const char* data, size_t size) {
      if (!lineRead) {
        const char* end = static_cast<const char*>(std::memchr(data, '\n', size));
        const size_t taken = end ? static_cast<size_t>(end - data) + 1 : size;
        line.append(data, taken);
        if (line.size() > wire::kMaxSessionLine) return false;
        if (!end) return true;
        lineRead = true;
        std::string rest;
        wire::splitSessionLine(line, &token, &rest);
        known = sessions_.userOf(token, &user);
        if (!known) return false;
        data += taken;
        size -= taken;
        if (size == 0) return true;
      }
      return sink(data, size);
    });
  };
  std::unique_ptr<UploadedFile> stored;
  std::string error, id;
  const UploadSpool::Outcome outcome =
      spool_.receive(name, file, options_.maxUploadBytes, &stored, &error);
  // A body the transport refused as too large was never read: its session
  // is not known, and the refusal says why.
  if (outcome == UploadSpool::Outcome::TooLarge && !lineRead) {
    return tooLarge("file", options_.maxUploadBytes);
  }
  if (!known) return unknownSession(token);
  if (auto refusal = spoolRefusal(outcome, name, error, options_.maxUploadBytes, user)) {
    return *refusal;
  }
  if (!sessions_.keepUpload(token, std::move(stored), &id)) return unknownSession(token);
  return ServiceReply::answer(wire::uploadAnswerBody(id), user);
}

ServiceReply ReportService::commit(const std::string& token, const std::string& body,
                                   const std::string& sent) {
  return onSession(sessions_, token, [&](auto& lease, const std::string& user) {
    StoreSession& store = lease->store();
    uint64_t sentBytes = 0;
    if (!sent.empty() && !readByteCount(sent, &sentBytes)) {
      return malformed("The request's " + std::string(wire::kSentParameter) + " \"" + sent +
                           "\" is not a number of bytes.",
                       user);
    }
    if (sentBytes > wire::kMaxSentWithCommit) {
      return ServiceReply::failure(
          413,
          StoreStatus::badRequest("The files sent with the commit (" + std::to_string(sentBytes) +
                                  " bytes) are more than the report server takes with one (" +
                                  std::to_string(wire::kMaxSentWithCommit) +
                                  " bytes); upload them before the commit."),
          user);
    }
    std::vector<std::string> uploads;
    std::vector<ObjectChange> changes;
    std::map<size_t, wire::ReceivedFile> sentFiles;
    int64_t readMark = 0;
    std::string error;
    const bool read = wire::readCommitRequest(
        body, store.facts().plugins,
        [&](const std::string& id, std::string* path) {
          if (!lease->uploadPath(id, path)) return false;
          uploads.push_back(id);
          return true;
        },
        &changes, &readMark, &error, sentBytes, &sentFiles);
    if (!read) return malformed(error, user);
    // The files sent with the commit go to the store from the request's body,
    // which stays until the commit has ended; the same names and sizes are
    // taken as from an upload.
    for (const auto& [index, file] : sentFiles) {
      UploadSpool::Outcome outcome = UploadSpool::Outcome::Stored;
      if (!UploadSpool::isFileName(file.name)) {
        outcome = UploadSpool::Outcome::BadName;
      } else if (file.bytes.size() > options_.maxUploadBytes) {
        outcome = UploadSpool::Outcome::TooLarge;
      }
      if (auto refusal = spoolRefusal(outcome, file.name, error, options_.maxUploadBytes, user)) {
        return *refusal;
      }
      changes[index].pending.filePath = file.name;
      changes[index].pending.fileBytes = file.bytes;
    }
    std::vector<ObjectRecord> stored;
    const StoreStatus status = store.commit(changes, readMark, &stored);
    if (status.ok()) lease->dropUploads(uploads);
    return storeReply(status, status.ok() ? wire::commitAnswerBody(stored) : "", user);
  });
}

ServiceReply ReportService::snapshot(const std::string& token, const std::string& body) {
  return onSession(sessions_, token, [&](auto& lease, const std::string& user) {
    std::string error;
    if (!wire::readSnapshotRequest(body, &error)) return malformed(error, user);
    RepositorySnapshot snapshot;
    const StoreStatus status = lease->store().snapshot(&snapshot);
    return storeReply(status, status.ok() ? wire::snapshotAnswerBody(snapshot) : "", user);
  });
}

ServiceReply ReportService::download(const std::string& token, const std::string& body) {
  return onSession(sessions_, token, [&](auto& lease, const std::string& user) {
    int32_t reportId = 0;
    std::string error;
    if (!wire::readDownloadRequest(body, &reportId, &error)) return malformed(error, user);
    return ServiceReply::stream(std::make_shared<ReportDownload>(std::move(lease), reportId), user);
  });
}

ServiceReply ReportService::logoff(const std::string& token) {
  return onSession(sessions_, token, [&](auto& lease, const std::string& user) {
    lease->endSession();
    return ServiceReply::answer(wire::emptyAnswerBody(), user);
  });
}

}  // namespace korva
