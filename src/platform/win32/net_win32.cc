// The Windows net service over Windows Sockets: WSAStartup with the version
// asked for, WSACleanup answering WSAGetLastError, WSACancelBlockingCall, and
// the resolver's official name from gethostbyname. A host-name lookup starts
// and stops the layer around itself (the layer counts its starts), so it
// holds whether or not the caller has started it.
//
// Thread-safety: the layer's calls are safe on any thread; gethostbyname
// answers in storage of the calling thread.
// Ownership: nothing is kept.
#include <string>

#include "platform/net.h"
#include "platform/win32/windows_api.h"

namespace korva {
namespace {

class Win32NetService : public NetService {
 public:
  int startup(int major, int minor) override {
    WSADATA data;
    return WSAStartup(MAKEWORD(major, minor), &data);
  }

  int cleanup() override { return WSACleanup() == 0 ? 0 : WSAGetLastError(); }

  void cancelBlockingCall() override { WSACancelBlockingCall(); }

  bool officialHostName(const char* name, std::string* out) override {
    // The empty name would answer the local host; it names no host here.
    if (name == nullptr || *name == '\0' || out == nullptr) return false;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    const hostent* host = gethostbyname(name);
    const bool found = host != nullptr && host->h_name != nullptr;
    if (found) *out = *host->h_name != '\0' ? host->h_name : name;
    WSACleanup();
    return found;
  }
};

}  // namespace

NetService& defaultNetService() {
  static Win32NetService service;
  return service;
}

}  // namespace korva
