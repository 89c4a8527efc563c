// The server's log on standard error: one line per request, written whole
// and flushed, "<time stamp> - <peer> <user> <operation> <result>", e.g.
//   Tue Jan 14 10:02:33 2003 - 127.0.0.1 "Administrator" logon ok
//   Tue Jan 14 10:02:34 2003 - 10.0.0.7 - query 401 denied: The report ...
// The user is a JSON string, "-" when the request names none; the result is
// "ok" or the status, the error code and its description. Passwords never
// reach it. Control characters are written as visible escapes
// (platform/visible_text.h). Lines about the server itself are
// "<time stamp> - <text>".
//
// Thread-safety: lines are written under a lock, on any thread.
// Ownership: the stream stays the caller's.
#ifndef KORVA_REPORTSERVER_SERVE_REQUEST_LOG_H_
#define KORVA_REPORTSERVER_SERVE_REQUEST_LOG_H_

#include <cstdio>
#include <mutex>
#include <string>

namespace korva {

class RequestLog {
 public:
  explicit RequestLog(std::FILE* out) : out_(out) {}

  // user: "" when the request names none.
  void request(const std::string& peer, const std::string& user, const std::string& operation,
               const std::string& result);
  void note(const std::string& text);

 private:
  void write(const std::string& text);

  std::FILE* out_;
  std::mutex mutex_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_REQUEST_LOG_H_
