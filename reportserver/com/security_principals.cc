// The principals of an object.
#include "reportserver/com/security_principals.h"

#include <string>

#include "com/ref.h"
#include "reportserver/com/security_principal.h"

namespace korva {

HRESULT SecurityPrincipalsImpl::addPrincipal(LONG userId, SecurityPrincipal** out) {
  if (HRESULT hr = enterMethod("addPrincipal", out); FAILED(hr)) return hr;
  if (userId <= 0) {
    return failWith(E_INVALIDARG, std::to_string(userId) + " is not a user id.");
  }
  *out = Ref<SecurityPrincipal>(new SecurityPrincipalImpl(object_.get(), userId)).detach();
  return S_OK;
}

}  // namespace korva
