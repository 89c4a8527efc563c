// The protocol's operations (wire_protocol.h) on an HTTPS server: each route
// reads its body (JSON up to the request limit; a report file streamed into
// the spool), calls the report service, writes its reply (a download's in
// chunks while the file is read, logged once it went out or broke off) and
// logs one line.
// Every body is read to its end, even one that is refused, so that the
// connection stays usable; a body that keeps coming past the largest upload
// stops the reading. Requests for no operation, and what the HTTP layer
// refuses itself, get the same error bodies and log lines.
//
// Thread-safety: the routes run on the server's threads, many at once.
// Ownership: the routes use the service, the log and the options, which
// outlive them; the server they are added to must not outlive them.
#ifndef KORVA_REPORTSERVER_SERVE_HTTPS_ROUTES_H_
#define KORVA_REPORTSERVER_SERVE_HTTPS_ROUTES_H_

namespace httplib {
class Server;
}

#include <memory>

namespace korva {

class ReportService;
class RequestLog;
struct ServeOptions;

class HttpsRoutes {
 public:
  HttpsRoutes(ReportService& service, RequestLog& log, const ServeOptions& options);
  ~HttpsRoutes();
  HttpsRoutes(const HttpsRoutes&) = delete;
  HttpsRoutes& operator=(const HttpsRoutes&) = delete;

  void addTo(httplib::Server& server);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_HTTPS_ROUTES_H_
