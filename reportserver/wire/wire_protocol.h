// The protocol between the stand-in's remote store (the client) and
// `korvaserver serve`: HTTPS with JSON bodies (UTF-8). This is the one place
// that states it; the message bodies are made and read by wire_messages.h.
//
//   POST /v1/logon   {"user", "password", "authentication"}
//                    -> {"token", "facts"}
//   POST /v1/query   {"query": {"systemObjects", "terms": [{"field", "value"}]}}
//                    -> {"readMark", "heads": [[id, typeId, parentId, title], ...]}
//   PUT  /v1/files?name=NAME
//                    the report file's bytes as they are (not JSON); NAME
//                    its base name (UTF-8, URL-encoded), which the report
//                    keeps -> {"file": id}
//   POST /v1/commit[?sent=N]
//                    {"readMark", "changes": [change, ...]}, then the bytes
//                    of the files sent with the commit (N of them in all)
//                    -> {"stored": [record, ...]}
//   POST /v1/snapshot {}
//                    -> {"aps", "plugins": [plugin, ...], "users": [record, ...],
//                        "objects": [record, ...], "rights": [[objectId, userId, role], ...]}
//                    the repository as far as the session's user may see it
//   POST /v1/download {"report": id}
//                    -> streamed (chunked, Content-Type application/octet-stream):
//                    one JSON line and "\n", then for a file its bytes:
//                      {"file": {"name", "size", "sha256"}} "\n" and exactly size bytes
//                      {"error": {"code", "description"}} "\n" and nothing more (the
//                      store's refusal)
//                    A server that fails once the file's line went out breaks
//                    off the connection; the client checks the bytes' number
//                    and digest against the line, so that an answer cut short
//                    fails the download. Neither side holds the whole file.
//   POST /v1/logoff  (no body) -> {}
//
// Every operation but logon names its session in its body's first line: the
// token logon answered and a line end ("\n"); the rest of the body is the
// request (JSON, or the file's bytes). The token travels in the body, never
// in the request line or a header: a client sends a body only to a server
// whose certificate it has checked (platform/https_client.h). The APS is the one the server serves;
// a logon names none. An uploaded file is named in a change of a later commit of the same session
// by its id ("file" in the change's "pending"); it goes when the commit that stored it succeeds or
// when its session ends. A small file may instead go with the commit itself, which saves its
// upload's round trip: the change names it {"name", "size"} ("file" in "pending": its base name,
// UTF-8, and its size in bytes), the commit's JSON is followed by the bytes of each such file in
// the order of the changes, and the parameter sent counts those bytes. Such files go when the
// commit ends, stored or not.
//
// Answers. Status 200 carries either the operation's answer or the store's
// refusal: {"error": {"code", "description"}} with the code "failed",
// "denied" or "badRequest" and the store's own description, exactly as a
// local client gets them. Every other status is the transport's, with the
// same error body:
//   400  the request is malformed (not JSON, a missing field, a wrong type,
//        a number out of range, a text too long, an unknown object type or
//        file id); code "badRequest"
//   401  the session header is missing, or names no session the server
//        keeps (ended, expired after 30 minutes unused, or never given);
//        code "denied"
//   404  no such operation; code "badRequest"
//   413  the body is larger than the server takes; code "badRequest"
//   500  the server failed inside; code "failed"
//
// Reading is strict: a member of the wrong type, a missing member, a number
// outside its field's range or not whole, a text longer than kMaxWireText
// bytes is refused with a description naming the member. Members a reader
// does not know are passed over, so that later versions may add some.
//
// Thread-safety: constants only.
#ifndef KORVA_REPORTSERVER_WIRE_WIRE_PROTOCOL_H_
#define KORVA_REPORTSERVER_WIRE_WIRE_PROTOCOL_H_

#include <cstddef>
#include <cstdint>

namespace korva {
namespace wire {

constexpr const char kLogonPath[] = "/v1/logon";
constexpr const char kQueryPath[] = "/v1/query";
constexpr const char kFilesPath[] = "/v1/files";
constexpr const char kCommitPath[] = "/v1/commit";
constexpr const char kLogoffPath[] = "/v1/logoff";
constexpr const char kSnapshotPath[] = "/v1/snapshot";
constexpr const char kDownloadPath[] = "/v1/download";

// The longest session line a server reads (token and line end).
constexpr size_t kMaxSessionLine = 128;
constexpr const char kFileNameParameter[] = "name";
constexpr const char kSentParameter[] = "sent";
constexpr const char kJsonContentType[] = "application/json";
// The type of a report file's bytes, uploaded or downloaded.
constexpr const char kFileContentType[] = "application/octet-stream";

// The port a server listens on unless told otherwise.
constexpr int kDefaultPort = 6480;

// The longest text of any member, in bytes.
constexpr size_t kMaxWireText = 64 * 1024;
// The longest first line of a download's answer a client reads: room for
// a refusal whose description is a text of kMaxWireText bytes, escaped.
constexpr size_t kMaxDownloadLine = 8 * kMaxWireText;
// The largest body of a JSON request (with the files sent with a commit) a
// server takes.
constexpr size_t kMaxRequestBody = 16 * 1024 * 1024;
// The most bytes of files a client sends with one commit; a file that does
// not fit is uploaded before it.
constexpr size_t kMaxSentWithCommit = 1024 * 1024;
// The largest report file a server takes by default.
constexpr uint64_t kDefaultMaxUpload = uint64_t{4} * 1024 * 1024 * 1024;

}  // namespace wire
}  // namespace korva

#endif  // KORVA_REPORTSERVER_WIRE_WIRE_PROTOCOL_H_
