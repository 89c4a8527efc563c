// What one logged-on session shares with the COM objects it hands out: its
// store session, and the test plan of how often each plugin is listed. The
// objects that reach the store (the session, its InfoStore, collections, the
// plugin manager) hold the context through shared_ptr, so the store session
// lives as long as any of them.
//
// Thread-safety: used by one thread at a time, like the session.
#ifndef KORVA_REPORTSERVER_COM_SESSION_CONTEXT_H_
#define KORVA_REPORTSERVER_COM_SESSION_CONTEXT_H_

#include <map>
#include <memory>
#include <string>

#include "reportserver/store/store_session.h"

namespace korva {

struct SessionContext {
  StoreSessionPtr store;
  std::map<std::string, int> pluginPlan;  // test control: how often each is listed
};

using SessionContextPtr = std::shared_ptr<SessionContext>;

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_SESSION_CONTEXT_H_
