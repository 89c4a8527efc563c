// Report files and security principals: they record their changes in the
// object they belong to.
#include "reportserver/object_parts.h"

#include "reportserver/fault_injection.h"
#include "reportserver/local_path.h"
#include "reportserver/utf8.h"

namespace korva {

HRESULT ReportFilesImpl::addFile(VARIANT path, LONG, VARIANT, IUnknown** out) {
  if (injectFault("addFile")) return E_FAIL;
  if (!out) return nullArgument("addFile");
  *out = nullptr;
  if (path.vt != VT_BSTR) {
    return failWith(E_INVALIDARG, "addFile needs a string variant naming a local file.");
  }
  // The client spelled the path in the process's encoding; spell it back so.
  const std::wstring wide = wideOf(path.bstrVal);
  std::string file;
  if (!localPathFromWide(wide, &file)) {
    return failWith(E_INVALIDARG,
                    "The path \"" + toUtf8(wide) +
                        "\" cannot be spelled in the character set of the process's locale.");
  }
  HRESULT hr = object_->pendFile(file);
  if (FAILED(hr)) return hr;
  *out = Ref<IUnknown>(new FileEntryImpl(file)).detach();
  return S_OK;
}

IUnknown* FileEntryImpl::interfaceFor(REFIID iid) { return iid == IID_IUnknown ? this : nullptr; }

HRESULT SecurityInfoImpl::principals(SecurityPrincipals** out) {
  if (injectFault("principals")) return E_FAIL;
  if (!out) return nullArgument("principals");
  *out = Ref<SecurityPrincipals>(new SecurityPrincipalsImpl(object_.get())).detach();
  return S_OK;
}

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

HRESULT SecurityPrincipalImpl::setRole(LONG role) {
  if (injectFault("setRole")) return E_FAIL;
  if (role < 1 || role > 5) {
    return failWith(E_INVALIDARG,
                    "Role " + std::to_string(role) + " is not valid; roles are 1 to 5.");
  }
  return object_->pendRight(userId_, role);
}

}  // namespace korva
