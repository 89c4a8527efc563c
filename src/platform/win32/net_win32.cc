// The Windows net service over Windows Sockets: WSAStartup with the version
// asked for, WSACleanup answering WSAGetLastError, WSACancelBlockingCall, and
// the resolver's official name from gethostbyname. A host-name lookup uses
// the start-up its caller made (the process framework starts the layer
// first, falling back from version 2.0 to 1.1), so a layer that refuses 2.x
// but took 1.1 still resolves; only when the layer is not started at all does
// the lookup start it around itself, with the same fall-back.
//
// Thread-safety: the layer's calls are safe on any thread; gethostbyname
// answers in storage of the calling thread.
// Ownership: nothing is kept but the table of calls.
#include "platform/win32/net_win32.h"

#include <string>

namespace korva {
namespace win32 {
namespace {

class WinsockNetService : public NetService {
 public:
  explicit WinsockNetService(const WinsockCalls& calls) : calls_(calls) {}

  int startup(int major, int minor) override {
    WSADATA data;
    return calls_.startup(MAKEWORD(major, minor), &data);
  }

  int cleanup() override { return calls_.cleanup() == 0 ? 0 : calls_.lastError(); }

  void cancelBlockingCall() override { calls_.cancelBlockingCall(); }

  bool officialHostName(const char* name, std::string* out) override {
    // The empty name would answer the local host; it names no host here.
    if (name == nullptr || *name == '\0' || out == nullptr) return false;
    if (lookUp(name, out)) return true;
    if (calls_.lastError() != WSANOTINITIALISED) return false;
    // Nobody started the layer: start it for this lookup alone, with the
    // same fall-back as the process framework's start-up.
    if (startup(2, 0) != 0 && startup(1, 1) != 0) return false;
    const bool found = lookUp(name, out);
    calls_.cleanup();
    return found;
  }

 private:
  // The answer is copied out before anything else may reuse its storage.
  bool lookUp(const char* name, std::string* out) {
    const hostent* host = calls_.hostByName(name);
    if (host == nullptr || host->h_name == nullptr) return false;
    *out = *host->h_name != '\0' ? host->h_name : name;
    return true;
  }

  const WinsockCalls calls_;
};

}  // namespace

const WinsockCalls& systemWinsockCalls() {
  static const WinsockCalls calls = {WSAStartup, WSACleanup, WSAGetLastError, WSACancelBlockingCall,
                                     gethostbyname};
  return calls;
}

std::unique_ptr<NetService> makeWinsockNetService(const WinsockCalls& calls) {
  return std::make_unique<WinsockNetService>(calls);
}

}  // namespace win32

NetService& defaultNetService() {
  static const std::unique_ptr<NetService> service =
      win32::makeWinsockNetService(win32::systemWinsockCalls());
  return *service;
}

}  // namespace korva
