// `korvaserver serve`: serves the repository of one APS of the server home on
// the network over HTTPS until SIGINT or SIGTERM (reportserver/serve/).
//   korvaserver serve -apsname NAME [-listen HOST:PORT] [-cert FILE -key FILE]
// HOST:PORT defaults to 127.0.0.1:6480 ("[::]:6480" for IPv6; port 0 takes
// any free port). Without -cert and -key the server makes a self-signed
// certificate once, as NAME.crt and NAME.key beside NAME.db, and uses it from
// then on. Standard output gets the certificate's fingerprint, then one line
// once the server listens: "Serving APS NAME on HOST:PORT"; standard error
// one line per request.
//
// POSIX only: on Windows the command answers that it is not there.
//
// Thread-safety: runs on the program's main thread.
#ifndef KORVA_REPORTSERVER_ADMIN_SERVE_COMMAND_H_
#define KORVA_REPORTSERVER_ADMIN_SERVE_COMMAND_H_

#include <string>

namespace korva {

struct ServeSettings {
  std::string apsName;
  std::string listen;  // "" for the default
  std::string certFile;
  std::string keyFile;
};

// True after a stop by signal; false with *error set (a full sentence) when
// the server cannot start.
bool serveUntilStopped(const ServeSettings& settings, std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ADMIN_SERVE_COMMAND_H_
