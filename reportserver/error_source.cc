// The error source: the calling thread's last report server error.
#include "reportserver/fault_injection.h"
#include "reportserver/session_objects.h"

namespace korva {

HRESULT ErrorInfoImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  if (iid == kIID_ErrorInfo) return answerInterface(static_cast<ErrorInfo*>(this), out);
  return E_NOINTERFACE;
}

HRESULT ErrorInfoImpl::description(std::wstring* out) {
  if (injectFault("description")) return E_FAIL;
  if (!out) return nullArgument("description");
  *out = text_;
  return S_OK;
}

void* ErrorSourceImpl::interfaceFor(const Guid& iid) {
  if (iid == kIID_Unknown) return static_cast<Unknown*>(this);
  if (iid == kIID_ErrorSource) return static_cast<ErrorSource*>(this);
  return nullptr;
}

HRESULT ErrorSourceImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  return failed(hr) ? hr : answerInterfaceOf(this, iid, out);
}

HRESULT ErrorSourceImpl::lastError(Ref<ErrorInfo>* out) {
  // Read before the fault check, which would replace it.
  std::wstring text = lastErrorDescription();
  if (injectFault("lastError")) return E_FAIL;
  if (!out) return nullArgument("lastError");
  *out = Ref<ErrorInfo>(new ErrorInfoImpl(text));
  return S_OK;
}

HRESULT createErrorSource(const Guid& iid, void** out) {
  HRESULT hr = beginCreate(out, "ErrorSource");
  if (failed(hr)) return hr;
  Ref<ErrorSourceImpl> source(new ErrorSourceImpl());
  return answerInterfaceOf(source.get(), iid, out);
}

}  // namespace korva
