// A logon as the network server makes it, for the protocol's logon and the
// console's sign-in alike: a wrong logon of one account slows down its next
// ones (logon_throttle.h), then the store checks the user and password
// (LocalStoreSession), so that every refusal is the store's own text. And
// the refusal when the server keeps as many sessions as it may.
//
// Thread-safety: may run on any thread, many at once; a slowed-down logon
// waits on its own thread through options.pause.
#ifndef KORVA_REPORTSERVER_SERVE_SERVE_LOGON_H_
#define KORVA_REPORTSERVER_SERVE_SERVE_LOGON_H_

#include <cstddef>

#include "reportserver/serve/logon_throttle.h"
#include "reportserver/serve/serve_options.h"
#include "reportserver/store/store_session.h"

namespace korva {

// Logs on to the served APS (request.apsName is set to it); *out: the
// session when it succeeds.
StoreStatus logOnServed(LogonRequest request, const ServeOptions& options, LogonThrottle& throttle,
                        StoreSessionPtr* out);

// The refusal of a logon when no more sessions are kept.
StoreStatus tooManySessions(size_t maxSessions);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_SERVE_LOGON_H_
