// An error object: its description.
#include "reportserver/com/error_info.h"

#include "com/bstr.h"

namespace korva {

HRESULT ErrorInfoImpl::description(BSTR* out) {
  if (HRESULT hr = enterMethod("description", out); FAILED(hr)) return hr;
  return newBstr(text_, out);
}

}  // namespace korva
