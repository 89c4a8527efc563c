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
  // A name that is no host, and an authentication type the store refuses
  // anyway, get the local store's refusal before anything is sent.
  HttpsEndpoint endpoint;
  if (hasNamedRepository(name) || !hostLike || request.authentication != "secEnterprise" ||
      !parseHttpsEndpoint(name, wire::kDefaultPort, &endpoint)) {
    return LocalStoreSession::logOn(request, out);
  }
  return RemoteStoreSession::logOn(endpoint, request, out);
}

}  // namespace korva
