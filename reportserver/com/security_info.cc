// An object's security information.
#include "reportserver/com/security_info.h"

#include "reportserver/com/security_principals.h"
#include "reportserver/testing/fault_injection.h"

namespace korva {

HRESULT SecurityInfoImpl::principals(SecurityPrincipals** out) {
  if (injectFault("principals")) return E_FAIL;
  if (!out) return nullArgument("principals");
  *out = Ref<SecurityPrincipals>(new SecurityPrincipalsImpl(object_.get())).detach();
  return S_OK;
}

}  // namespace korva
