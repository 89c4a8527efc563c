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
  if (failed(hr)) return hr;
  void* p = interfaceFor(iid);
  if (!p) return E_NOINTERFACE;
  addRef();
  *out = p;
  return S_OK;
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
  if (!out) return E_POINTER;
  *out = nullptr;
  refreshPlansFromEnvironment();
  if (injectFault("create:ErrorSource")) return E_FAIL;
  Ref<ErrorSourceImpl> source(new ErrorSourceImpl());
  void* p = source->interfaceFor(iid);
  if (!p) return E_NOINTERFACE;
  source->addRef();
  *out = p;
  return S_OK;
}

}  // namespace korva
