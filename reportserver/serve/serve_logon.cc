// The network server's logon.
#include "reportserver/serve/serve_logon.h"

#include <string>
#include <thread>

#include "reportserver/store/local_store_session.h"

namespace korva {

StoreStatus logOnServed(LogonRequest request, const ServeOptions& options, LogonThrottle& throttle,
                        StoreSessionPtr* out) {
  request.apsName = options.apsName;
  const std::chrono::milliseconds delay = throttle.delayFor(request.user);
  if (delay.count() > 0) {
    if (options.pause) {
      options.pause(delay);
    } else {
      std::this_thread::sleep_for(delay);
    }
  }
  const StoreStatus status = LocalStoreSession::logOn(request, out);
  if (status.code == StoreStatus::Code::Denied) throttle.failed(request.user);
  if (status.ok()) throttle.succeeded(request.user);
  return status;
}

StoreStatus tooManySessions(size_t maxSessions) {
  return StoreStatus::failed("The report server keeps as many sessions as it may (" +
                             std::to_string(maxSessions) + "); log on again later.");
}

}  // namespace korva
