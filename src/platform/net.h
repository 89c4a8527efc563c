// The socket layer as the support library sees it: start it with a version,
// stop it, cancel a blocking call, and resolve a host name to its canonical
// (official) name. Results of start and stop are 0 or an error code in the
// Windows socket numbering (kNetErrorInProgress, kNetErrorNotInitialised ...).
// On POSIX the layer needs no start: start and stop succeed and do nothing.
// On Windows it is Windows Sockets, which counts its starts.
//
// The service in force is process-wide: netService() answers the real one
// unless a test has installed another with setNetServiceForTesting().
//
// Thread-safety: the real service is safe on any thread; installing a test
// service is not meant to race with its use.
// Ownership: an installed test service stays owned by the test.
#ifndef KORVA_PLATFORM_NET_H_
#define KORVA_PLATFORM_NET_H_

#include <string>

#include "platform/scoped_service.h"

namespace korva {

// A blocking operation is in progress (stop again after cancelling it).
constexpr int kNetErrorInProgress = 10036;
// The socket layer has not been started.
constexpr int kNetErrorNotInitialised = 10093;
// The requested version is not supported.
constexpr int kNetErrorVersionNotSupported = 10092;

class NetService {
 public:
  virtual ~NetService() = default;
  // 0 when the layer started with that version, else an error code.
  virtual int startup(int major, int minor) = 0;
  // 0 when the layer stopped, else an error code.
  virtual int cleanup() = 0;
  virtual void cancelBlockingCall() = 0;
  // True and *out set to the resolver's canonical name of the host; false and
  // *out unchanged when the name cannot be resolved.
  virtual bool officialHostName(const char* name, std::string* out) = 0;
};

// The service in force.
NetService& netService();
// The operating system's own service, whatever is installed.
NetService& defaultNetService();
// Installs a service for tests and answers the one it replaces; null puts the
// operating system's own service back.
NetService* setNetServiceForTesting(NetService* service);

// The canonical name of a host through the service in force: true and *out
// set, or false and *out unchanged (also for a null name).
bool officialHostName(const char* name, std::string* out);

// For tests: installs a service for the lifetime of the object, then puts the
// previous one back.
using ScopedNetServiceForTesting = ScopedServiceForTesting<NetService, setNetServiceForTesting>;

}  // namespace korva

#endif  // KORVA_PLATFORM_NET_H_
