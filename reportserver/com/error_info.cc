// An error object: its description.
#include "reportserver/com/error_info.h"

#include "reportserver/testing/fault_injection.h"

namespace korva {

HRESULT ErrorInfoImpl::description(BSTR* out) {
  if (injectFault("description")) return E_FAIL;
  if (!out) return nullArgument("description");
  *out = SysAllocStringLen(text_.data(), static_cast<UINT>(text_.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace korva
