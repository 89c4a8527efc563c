// The operations of the network server, apart from HTTP: each takes what the
// request carried (the session token, "" when the request names none, and
// the body) and answers a ServiceReply. Logon, queries, commits, snapshots
// and downloads run the store code of the local server home
// (LocalStoreSession), so every answer, refusal and description is the one
// a local client gets; what is only the transport's (a malformed body, an
// unknown session) has a status of its own (wire_protocol.h).
//
// A logon names no APS: the service logs on to the one it serves. A wrong
// logon of one account makes its next ones wait (logon_throttle.h).
//
// Thread-safety: every operation may run on any thread, many at once; the
// session table keeps one request per session at a time.
// Ownership: uses the table, the spool and the throttle it is given, which
// outlive it.
#ifndef KORVA_REPORTSERVER_SERVE_REPORT_SERVICE_H_
#define KORVA_REPORTSERVER_SERVE_REPORT_SERVICE_H_

#include <string>

#include "reportserver/serve/body_reader.h"
#include "reportserver/serve/logon_throttle.h"
#include "reportserver/serve/serve_options.h"
#include "reportserver/serve/service_reply.h"
#include "reportserver/serve/session_table.h"
#include "reportserver/serve/upload_spool.h"

namespace korva {

class ReportService {
 public:
  ReportService(const ServeOptions& options, SessionTable& sessions, UploadSpool& spool,
                LogonThrottle& throttle);

  ServiceReply logon(const std::string& body);
  ServiceReply query(const std::string& token, const std::string& body);
  // Reads the report file into the spool under its name (the base name of
  // the client's file, UTF-8); a request that is refused has its body read
  // and dropped.
  // The body: the session's line, then the file's bytes.
  ServiceReply upload(const std::string& name, const BodyReader& read);
  // sent: the request's sent parameter ("" when absent), the bytes of files
  // sent with the commit at the end of the body.
  ServiceReply commit(const std::string& token, const std::string& body, const std::string& sent);
  ServiceReply snapshot(const std::string& token, const std::string& body);
  // A report's file, streamed as the answer is sent (report_download.h):
  // the reply holds the session until the reading ends.
  ServiceReply download(const std::string& token, const std::string& body);
  ServiceReply logoff(const std::string& token);

  // The reply to a session that is missing or not known.
  static ServiceReply unknownSession(const std::string& token);
  // The reply to a body larger than the server takes.
  static ServiceReply tooLarge(const std::string& what, uint64_t limit);

 private:
  const ServeOptions& options_;
  SessionTable& sessions_;
  UploadSpool& spool_;
  LogonThrottle& throttle_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_REPORT_SERVICE_H_
