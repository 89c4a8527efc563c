// The peer of a request.
#include "reportserver/serve/request_peer.h"

namespace korva {

std::string requestPeer(const std::string& a) {
  const std::string mapped = "::ffff:";
  const bool v4 = a.compare(0, mapped.size(), mapped) == 0 && a.find('.') != std::string::npos;
  return v4 ? a.substr(mapped.size()) : a;
}

}  // namespace korva
