// Which store answers an APS name.
#include "reportserver/store/local_store_session.h"
#include "reportserver/store/store_session.h"

namespace korva {

StoreStatus logOnToStore(const LogonRequest& request, StoreSessionPtr* out) {
  return LocalStoreSession::logOn(request, out);
}

}  // namespace korva
