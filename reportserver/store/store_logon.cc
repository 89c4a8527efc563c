// Which store answers an APS name: the repository of that name in the
// server home when there is one, else the report server on that host.
#include "platform/https_client.h"
#include "reportserver/remote/remote_store_session.h"
#include "reportserver/store/local_store_session.h"
#include "reportserver/store/named_repository.h"
#include "reportserver/store/server_home.h"
#include "reportserver/store/store_session.h"
#include "reportserver/wire/wire_protocol.h"

namespace korva {

StoreStatus logOnToStore(const LogonRequest& request, StoreSessionPtr* out) {
  // A host name (with its port) passes the APS name's check; an IPv6
  // address comes in brackets.
  const std::string& name = request.apsName;
  const bool hostLike = isValidApsName(name) || (!name.empty() && name[0] == '[');
  HttpsEndpoint endpoint;
  if (hasNamedRepository(name) || !hostLike ||
      !parseHttpsEndpoint(name, wire::kDefaultPort, &endpoint)) {
    // A name that is no host either gets the local store's refusal.
    return LocalStoreSession::logOn(request, out);
  }
  if (request.authentication != "secEnterprise") {
    return LocalStoreSession::logOn(request, out);  // refused before anything is sent
  }
  return RemoteStoreSession::logOn(endpoint, request, out);
}

}  // namespace korva
