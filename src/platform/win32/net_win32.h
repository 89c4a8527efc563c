// The Windows net service over a table of Windows Sockets calls: the
// system's own table for the process-wide service, another one for tests
// that need a socket layer answering differently (one that refuses version
// 2.x, say) under the service's real logic.
//
// Thread-safety: a service keeps only its table, which is never changed.
// Ownership: makeWinsockNetService's result belongs to the caller; the
// table is copied.
#ifndef KORVA_PLATFORM_WIN32_NET_WIN32_H_
#define KORVA_PLATFORM_WIN32_NET_WIN32_H_

#include <memory>

#include "platform/net.h"
#include "platform/win32/windows_api.h"

namespace korva {
namespace win32 {

struct WinsockCalls {
  decltype(&WSAStartup) startup;
  decltype(&WSACleanup) cleanup;
  decltype(&WSAGetLastError) lastError;
  decltype(&WSACancelBlockingCall) cancelBlockingCall;
  decltype(&gethostbyname) hostByName;
};

// The calls of ws2_32.dll.
const WinsockCalls& systemWinsockCalls();

// A net service over the given calls.
std::unique_ptr<NetService> makeWinsockNetService(const WinsockCalls& calls);

}  // namespace win32
}  // namespace korva

#endif  // KORVA_PLATFORM_WIN32_NET_WIN32_H_
