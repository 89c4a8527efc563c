// One user's role on an object, kept in the object until its commit.
#include "reportserver/com/security_principal.h"

#include <string>

namespace korva {

HRESULT SecurityPrincipalImpl::setRole(LONG role) {
  if (HRESULT hr = enterMethod("setRole"); FAILED(hr)) return hr;
  if (role < 1 || role > 5) {
    return failWith(E_INVALIDARG,
                    "Role " + std::to_string(role) + " is not valid; roles are 1 to 5.");
  }
  return object_->pendRight(userId_, role);
}

}  // namespace korva
