// `korvaserver serve` in a process: the network server of one APS, with its
// session table, upload spool, logon throttle and request log, serving the
// protocol (wire_protocol.h) and the web console (console_routes.h) over
// HTTPS on threads of its own until it is stopped. Sessions unused for the idle limit are forgotten within a minute
// of it; stopping stops taking requests, lets those under way finish (a
// slowed-down logon stops waiting), then forgets every session and the
// files uploaded in them.
//
// Thread-safety: start() and stop() on one thread; the requests run on the
// server's threads.
// Ownership: owns everything it serves with; the log stream stays the
// caller's.
#ifndef KORVA_REPORTSERVER_SERVE_NETWORK_SERVER_H_
#define KORVA_REPORTSERVER_SERVE_NETWORK_SERVER_H_

#include <cstdio>
#include <memory>
#include <string>

#include "reportserver/serve/serve_options.h"

namespace korva {

class NetworkServer {
 public:
  NetworkServer(ServeOptions options, std::FILE* log);
  ~NetworkServer();  // stops
  NetworkServer(const NetworkServer&) = delete;
  NetworkServer& operator=(const NetworkServer&) = delete;

  // Opens the spool, loads the certificate and its key (PEM files), listens
  // on host (a name or an address, IPv6 without brackets) and port (0: any
  // free one), and serves; false with *error set.
  bool start(const std::string& host, int port, const std::string& certPath,
             const std::string& keyPath, std::string* error);
  // The port it listens on.
  int port() const;
  // Writes a line about the server itself to the log.
  void note(const std::string& text);
  void stop();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_NETWORK_SERVER_H_
