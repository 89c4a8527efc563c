// The bodies of the protocol's requests and answers (wire_protocol.h), made
// and read for both sides: the client writes requests and reads answers, the
// server reads requests and writes answers.
//
// Reading a request answers false with *error set to a sentence ("The request
// is malformed: changes[2].pending.title is not a text."), the description
// of the server's 400 answer. Reading an answer answers the store's status:
// success with the answer's values, the store's own refusal when the body is
// an error body, or a failure ("The report server's answer is malformed:
// ...") when it is neither. Nothing throws past these functions.
//
// Thread-safety: pure functions (the resolvers are called on the caller's
// thread).
#ifndef KORVA_REPORTSERVER_WIRE_WIRE_MESSAGES_H_
#define KORVA_REPORTSERVER_WIRE_WIRE_MESSAGES_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "reportserver/store/object_change.h"
#include "reportserver/store/query_parser.h"
#include "reportserver/store/report_file_sink.h"
#include "reportserver/store/store_records.h"
#include "reportserver/store/store_session.h"
#include "reportserver/store/store_status.h"

namespace korva {
namespace wire {

// The client's: the id under which the report file at path was uploaded.
using UploadIdOf = std::function<std::string(const std::string& path)>;
// The server's: the file kept for an upload id of the session; false when
// the session uploaded no file of that id.
using UploadPathOf = std::function<bool(const std::string& id, std::string* path)>;

// A report file sent with its commit instead of uploaded before it.
struct SentFile {
  std::string name;   // its base name, UTF-8
  std::string bytes;  // its content
};
// The client's: the file sent with the commit for the report file at path,
// or null when it was uploaded (UploadIdOf names it).
using SentFileOf = std::function<const SentFile*(const std::string& path)>;
// The server's: a file sent with a commit, its bytes a view of the request's
// body (which the caller keeps while it reads them).
struct ReceivedFile {
  std::string name;
  std::string_view bytes;
};

// The body of an operation of a session: the token's line, then the request.
std::string withSessionLine(const std::string& token, const std::string& request);
// Splits such a body: the token (empty when the body opens with no line of
// at most kMaxSessionLine bytes) and the request after it.
void splitSessionLine(const std::string& body, std::string* token, std::string* request);

// Requests. A logon names no APS (the server serves one): *out's apsName
// stays empty.
std::string logonRequestBody(const LogonRequest& request);
bool readLogonRequest(const std::string& body, LogonRequest* out, std::string* error);

std::string queryRequestBody(const ParsedQuery& query);
bool readQueryRequest(const std::string& body, ParsedQuery* out, std::string* error);

// With sentFileOf, the files it answers go with the commit: their bytes end
// the body, after the JSON, and *sentBytes counts them (the request's sent
// parameter; 0 when none).
std::string commitRequestBody(const std::vector<ObjectChange>& changes, int64_t readMark,
                              const UploadIdOf& uploadIdOf, const SentFileOf& sentFileOf = nullptr,
                              uint64_t* sentBytes = nullptr);
// plugins: the repository's, by which the changes' type ids are resolved.
// sentBytes: the request's sent parameter, the bytes of files that end the
// body. A change that names such a file has it in *sentFiles, by the
// change's index, and no file path: the caller keeps the bytes where the
// commit reads them and sets the path. Without sentFiles, a change that
// names one is malformed. Nothing of the body is copied but the JSON's
// values.
bool readCommitRequest(const std::string& body, const std::vector<PluginInfo>& plugins,
                       const UploadPathOf& uploadPathOf, std::vector<ObjectChange>* changes,
                       int64_t* readMark, std::string* error, uint64_t sentBytes = 0,
                       std::map<size_t, ReceivedFile>* sentFiles = nullptr);

// The snapshot's request is {}; its reader passes over whatever members it
// holds.
std::string snapshotRequestBody();
bool readSnapshotRequest(const std::string& body, std::string* error);

std::string downloadRequestBody(int32_t reportId);
bool readDownloadRequest(const std::string& body, int32_t* reportId, std::string* error);

// Answers.
std::string logonAnswerBody(const std::string& token, const SessionFacts& facts);
StoreStatus readLogonAnswer(const std::string& body, std::string* token, SessionFacts* facts);

std::string queryAnswerBody(const QueryResult& result);
StoreStatus readQueryAnswer(const std::string& body, QueryResult* result);

std::string uploadAnswerBody(const std::string& uploadId);
StoreStatus readUploadAnswer(const std::string& body, std::string* uploadId);

std::string commitAnswerBody(const std::vector<ObjectRecord>& stored);
StoreStatus readCommitAnswer(const std::string& body, std::vector<ObjectRecord>* stored);

std::string snapshotAnswerBody(const RepositorySnapshot& snapshot);
StoreStatus readSnapshotAnswer(const std::string& body, RepositorySnapshot* snapshot);

// The first line of a download's answer, with its "\n": the file's, which
// its bytes follow, or the store's refusal.
std::string downloadFileLine(const StoredFile& file);
std::string downloadRefusalLine(const StoreStatus& failure);
// Reads that line (its "\n" may be left off): success with the file, the
// refusal it carries, or the failure of a malformed answer.
StoreStatus readDownloadLine(const std::string& line, StoredFile* file);

// The answer of logoff: {}.
std::string emptyAnswerBody();

// {"error": {"code", "description"}} of a failure.
std::string errorAnswerBody(const StoreStatus& status);
// The name of a status code on the wire: "failed", "denied", "badRequest"
// ("ok" for success, which no error body carries).
const char* statusCodeName(StoreStatus::Code code);

// The failure an error body carries (any status); a failure naming the
// malformed answer when the body is no error body.
StoreStatus readErrorAnswer(const std::string& body);

}  // namespace wire
}  // namespace korva

#endif  // KORVA_REPORTSERVER_WIRE_WIRE_MESSAGES_H_
