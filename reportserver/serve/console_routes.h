// The web console on the network server's HTTPS port: a sign-in form (the
// same logon as the protocol's, serve_logon.h), then read-only pages of what
// the signed-in user may see (console_pages.h) and downloads of report
// files, all read through that user's own store session. A console session
// is kept in a session table of its own, named by a cookie
// (console_cookie.h); it ends on sign-out, after the idle limit unused and
// when the server stops. Without a session every page sends the browser to
// the sign-in form. Every answer carries the console's security headers (a
// content security policy that allows no inline script, no caching), and
// every request is one line of the request log.
//
// Thread-safety: the routes run on the server's threads, many at once.
// Ownership: owns the console's sessions; uses the options, the throttle and
// the log, which outlive it. The server it is added to must not outlive it.
#ifndef KORVA_REPORTSERVER_SERVE_CONSOLE_ROUTES_H_
#define KORVA_REPORTSERVER_SERVE_CONSOLE_ROUTES_H_

#include <memory>

namespace httplib {
class Server;
}

namespace korva {

class LogonThrottle;
class RequestLog;
struct ServeOptions;

class ConsoleRoutes {
 public:
  ConsoleRoutes(const ServeOptions& options, LogonThrottle& throttle, RequestLog& log);
  ~ConsoleRoutes();
  ConsoleRoutes(const ConsoleRoutes&) = delete;
  ConsoleRoutes& operator=(const ConsoleRoutes&) = delete;

  // Adds the console's routes; before the protocol's, whose catch-all routes
  // would take the sign-in otherwise.
  void addTo(httplib::Server& server);
  // Ends the sessions unused for longer than the idle limit.
  void forgetIdle();
  // Ends every session (the server stops).
  void clear();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_CONSOLE_ROUTES_H_
