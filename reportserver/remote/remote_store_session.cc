// Logon, queries, commits, snapshots and downloads through `korvaserver
// serve`.
#include "reportserver/remote/remote_store_session.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "platform/filesys.h"
#include "reportserver/remote/download_receiver.h"
#include "reportserver/store/report_file_reading.h"
#include "reportserver/text/local_path.h"
#include "reportserver/wire/wire_messages.h"
#include "reportserver/wire/wire_protocol.h"

namespace korva {
namespace {

// A small report file is read in pieces of this size.
constexpr size_t kSmallFilePiece = 64 * 1024;

// A query parameter's value: UTF-8 with everything but the unreserved
// characters percent-encoded.
std::string encodeParameter(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

enum class SmallFile { Read, TooLarge, Refused };

// Reads the report file at path whole when it has at most room bytes, with
// the same refusals as a local commit's.
SmallFile readSmallFile(const std::string& path, size_t room, wire::SentFile* file,
                        std::string* error) {
  std::unique_ptr<FileReader> reader;
  if (!openReportFile(path, &reader, error)) return SmallFile::Refused;
  // One byte past the room tells a file that does not fit.
  std::string& bytes = file->bytes;
  size_t want = 0, got = 0;
  do {
    const size_t before = bytes.size();
    want = std::min(room + 1 - before, kSmallFilePiece);
    bytes.resize(before + want);
    if (!readChunk(*reader, path, reinterpret_cast<unsigned char*>(&bytes[before]), want, &got,
                   error)) {
      return SmallFile::Refused;
    }
    bytes.resize(before + got);
  } while (got == want && bytes.size() <= room);
  if (bytes.size() > room) return SmallFile::TooLarge;
  file->name = localPathAsUtf8(localBaseName(path));
  return SmallFile::Read;
}

}  // namespace

RemoteStoreSession::RemoteStoreSession(const HttpsEndpoint& endpoint)
    : endpoint_(endpoint), client_(makeHttpsClient(endpoint)) {}

RemoteStoreSession::~RemoteStoreSession() {
  if (token_.empty()) return;
  // The server forgets the session now rather than when it expires; a
  // failure here changes nothing for the client.
  std::string ignored;
  exchange(jsonRequest(HttpMethod::Post, wire::kLogoffPath, ""), &ignored);
}

StoreStatus RemoteStoreSession::logOn(const HttpsEndpoint& endpoint, const LogonRequest& request,
                                      StoreSessionPtr* out) {
  std::shared_ptr<RemoteStoreSession> session(new RemoteStoreSession(endpoint));
  std::string body;
  StoreStatus status = session->exchange(
      jsonRequest(HttpMethod::Post, wire::kLogonPath, wire::logonRequestBody(request)), &body);
  if (!status.ok()) return status;
  status = wire::readLogonAnswer(body, &session->token_, &session->facts_);
  if (!status.ok()) return status;
  *out = std::move(session);
  return StoreStatus::success();
}

StoreStatus RemoteStoreSession::exchange(HttpsRequest request, std::string* body) {
  if (!token_.empty()) {
    // The session's line opens the body (wire_protocol.h).
    if (request.bodyReader) {
      auto line = std::make_shared<std::string>(token_ + "\n");
      auto rest = std::move(request.bodyReader);
      request.bodyReader = [line, rest](char* buffer, size_t size, size_t* got) {
        if (line->empty()) return rest(buffer, size, got);
        *got = std::min(size, line->size());
        std::memcpy(buffer, line->data(), *got);
        line->erase(0, *got);
        return true;
      };
      request.bodyLength += token_.size() + 1;
    } else {
      request.body = wire::withSessionLine(token_, request.body);
    }
  }
  HttpsResponse response;
  HttpsError error;
  if (!client_->send(request, &response, &error)) return StoreStatus::failed(error.text);
  *body = std::move(response.body);
  return StoreStatus::success();
}

StoreStatus RemoteStoreSession::post(std::string path, std::string request,
                                     const std::function<StoreStatus(const std::string&)>& read) {
  std::string body;
  StoreStatus status =
      exchange(jsonRequest(HttpMethod::Post, std::move(path), std::move(request)), &body);
  if (!status.ok()) return status;
  return read(body);
}

StoreStatus RemoteStoreSession::query(const ParsedQuery& query, QueryResult* out) {
  return post(wire::kQueryPath, wire::queryRequestBody(query),
              [out](const std::string& body) { return wire::readQueryAnswer(body, out); });
}

StoreStatus RemoteStoreSession::upload(const std::string& path, std::string* id) {
  // The same refusal as a local commit's, before anything is sent.
  std::string error;
  if (!checkReadableFile(path, &error)) return StoreStatus::failed(error);
  HttpsRequest request;
  request.method = HttpMethod::Put;
  request.path = std::string(wire::kFilesPath) + "?" + wire::kFileNameParameter + "=" +
                 encodeParameter(localPathAsUtf8(localBaseName(path)));
  request.headers.push_back({"Content-Type", wire::kFileContentType});
  if (const int err = streamBodyFromFile(path, &request)) {
    return StoreStatus::failed("Cannot open the report file \"" + localPathAsUtf8(path) +
                               "\": " + errorText(err) + ".");
  }
  std::string body;
  StoreStatus status = exchange(std::move(request), &body);
  if (!status.ok()) return status;
  return wire::readUploadAnswer(body, id);
}

StoreStatus RemoteStoreSession::commit(const std::vector<ObjectChange>& changes, int64_t readMark,
                                       std::vector<ObjectRecord>* stored) {
  stored->assign(changes.size(), ObjectRecord());
  if (changes.empty()) return StoreStatus::success();
  std::map<std::string, std::string> uploads;  // path -> upload id
  std::map<std::string, wire::SentFile> sent;  // path -> sent with the commit
  std::map<std::string, size_t> uses;          // path -> changes that name it
  for (const ObjectChange& o : changes) {
    if (o.pending.filePath) ++uses[*o.pending.filePath];
  }
  // Each change that names a sent file carries its bytes (commitRequestBody).
  size_t room = wire::kMaxSentWithCommit;
  for (const ObjectChange& o : changes) {
    const auto& path = o.pending.filePath;
    if (o.pending.remove || !path || uploads.count(*path) || sent.count(*path)) continue;
    const size_t n = uses[*path];
    wire::SentFile file;
    std::string error;
    switch (room / n == 0 ? SmallFile::TooLarge : readSmallFile(*path, room / n, &file, &error)) {
      case SmallFile::Read:
        room -= file.bytes.size() * n;
        sent.emplace(*path, std::move(file));
        continue;
      case SmallFile::Refused:
        return StoreStatus::failed("Nothing was committed. " + error);
      case SmallFile::TooLarge:
        break;
    }
    StoreStatus status = upload(*path, &uploads[*path]);
    if (!status.ok()) {
      return status.code == StoreStatus::Code::Failed
                 ? StoreStatus::failed("Nothing was committed. " + status.description)
                 : status;
    }
  }
  uint64_t sentBytes = 0;
  std::string request = wire::commitRequestBody(
      changes, readMark, [&uploads](const std::string& path) { return uploads[path]; },
      [&sent](const std::string& path) {
        auto it = sent.find(path);
        return it == sent.end() ? nullptr : &it->second;
      },
      &sentBytes);
  std::string commitPath = wire::kCommitPath;
  if (sentBytes > 0) {
    commitPath += "?" + std::string(wire::kSentParameter) + "=" + std::to_string(sentBytes);
  }
  // A transport failure here leaves open whether the server stored the
  // commit: its description says what broke, and claims nothing more.
  return post(std::move(commitPath), std::move(request),
              [stored](const std::string& body) { return wire::readCommitAnswer(body, stored); });
}

StoreStatus RemoteStoreSession::snapshot(RepositorySnapshot* out) {
  return post(wire::kSnapshotPath, wire::snapshotRequestBody(),
              [out](const std::string& body) { return wire::readSnapshotAnswer(body, out); });
}

StoreStatus RemoteStoreSession::readReportFile(int32_t reportId, ReportFileSink& sink) {
  DownloadReceiver receiver(reportId, endpoint_, sink);
  HttpsRequest request =
      jsonRequest(HttpMethod::Post, wire::kDownloadPath, wire::downloadRequestBody(reportId));
  request.sink = [&receiver](const char* data, size_t size) { return receiver.take(data, size); };
  std::string body;
  const StoreStatus exchanged = exchange(std::move(request), &body);
  return receiver.finish(exchanged, body);
}

StoreStatus RemoteStoreSession::history(int64_t, size_t, HistoryPage*) { return historyNotRead(); }

StoreStatus RemoteStoreSession::lastChanges(std::vector<HistoryEntry>*) { return historyNotRead(); }

StoreStatus RemoteStoreSession::historyNotRead() const {
  return StoreStatus::failed("The history of the report server " + endpoint_.text() +
                             " is read in its console, not by this client.");
}

}  // namespace korva
