// The principals of an object.
#include "reportserver/com/security_principals.h"

#include <string>

#include "reportserver/com/security_principal.h"
#include "reportserver/testing/fault_injection.h"

namespace korva {

HRESULT SecurityPrincipalsImpl::addPrincipal(LONG userId, SecurityPrincipal** out) {
  if (injectFault("addPrincipal")) return E_FAIL;
  if (!out) return nullArgument("addPrincipal");
  *out = nullptr;
  if (userId <= 0) {
    return failWith(E_INVALIDARG, std::to_string(userId) + " is not a user id.");
  }
  *out = Ref<SecurityPrincipal>(new SecurityPrincipalImpl(object_.get(), userId)).detach();
  return S_OK;
}

}  // namespace korva
