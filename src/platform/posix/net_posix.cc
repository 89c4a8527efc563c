// The POSIX net service: the socket layer needs no start or stop, so both
// succeed and do nothing; host names are resolved with getaddrinfo and its
// canonical name. The switch that lets tests install another service is in
// service_switch.cc.
//
// Thread-safety: getaddrinfo is safe on any thread.
// Ownership: the resolver's result list is freed on every path.
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>

#include "platform/net.h"

namespace korva {
namespace {

class PosixNetService : public NetService {
 public:
  int startup(int, int) override { return 0; }
  int cleanup() override { return 0; }
  void cancelBlockingCall() override {}

  bool officialHostName(const char* name, std::string* out) override {
    if (name == nullptr || out == nullptr) return false;
    struct addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_CANONNAME;
    struct addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return false;
    std::unique_ptr<struct addrinfo, void (*)(struct addrinfo*)> owner(found, freeaddrinfo);
    // The canonical name comes with the first result; a resolver that has
    // none to give knows the host by the name it was asked for.
    const char* canonical = found->ai_canonname;
    *out = (canonical != nullptr && *canonical != '\0') ? canonical : name;
    return true;
  }
};

}  // namespace

NetService& defaultNetService() {
  static PosixNetService service;
  return service;
}

}  // namespace korva
