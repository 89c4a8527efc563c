// An object's security information.
#include "reportserver/com/security_info.h"

#include "com/ref.h"
#include "reportserver/com/security_principals.h"

namespace korva {

HRESULT SecurityInfoImpl::principals(SecurityPrincipals** out) {
  if (HRESULT hr = enterMethod("principals", out); FAILED(hr)) return hr;
  *out = Ref<SecurityPrincipals>(new SecurityPrincipalsImpl(object_.get())).detach();
  return S_OK;
}

}  // namespace korva
