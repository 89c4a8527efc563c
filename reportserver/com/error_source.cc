// The error source: the calling thread's last report server error.
#include "reportserver/com/error_source.h"

#include "com/ref.h"
#include "reportserver/com/error_info.h"

namespace korva {

IUnknown* ErrorSourceImpl::interfaceFor(REFIID iid) {
  if (iid == IID_ErrorSource) return this;
  return dispatchInterface(this, iid);
}

HRESULT ErrorSourceImpl::lastError(ErrorInfo** out) {
  // Read before the fault check, which would replace it.
  std::wstring text = lastErrorDescription();
  if (HRESULT hr = enterMethod("lastError", out); FAILED(hr)) return hr;
  *out = Ref<ErrorInfo>(new ErrorInfoImpl(text)).detach();
  return S_OK;
}

HRESULT createErrorSource(IUnknown* outer, REFIID iid, void** out) {
  HRESULT hr = beginCreate(outer, out, "ErrorSource");
  if (FAILED(hr)) return hr;
  Ref<ErrorSourceImpl> source(new ErrorSourceImpl());
  return source->QueryInterface(iid, out);
}

}  // namespace korva
