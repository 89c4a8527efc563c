// The peer of an HTTPS request as the request log names it: its address, an
// IPv4 peer of an IPv6 socket without its "::ffff:" prefix.
//
// Thread-safety: a pure function.
#ifndef KORVA_REPORTSERVER_SERVE_REQUEST_PEER_H_
#define KORVA_REPORTSERVER_SERVE_REQUEST_PEER_H_

#include <string>

namespace korva {

std::string requestPeer(const std::string& remoteAddress);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_REQUEST_PEER_H_
