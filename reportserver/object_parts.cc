// Report files and security principals: they record their changes in the
// object they belong to.
#include "reportserver/object_parts.h"

#include "reportserver/fault_injection.h"
#include "reportserver/local_path.h"
#include "reportserver/utf8.h"

namespace korva {

HRESULT ReportFilesImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  if (iid == kIID_ReportFiles) return answerInterface(static_cast<ReportFiles*>(this), out);
  return E_NOINTERFACE;
}

HRESULT ReportFilesImpl::addFile(const Variant& path, int32_t, const Variant&, Ref<Unknown>* out) {
  if (injectFault("addFile")) return E_FAIL;
  if (!out) return nullArgument("addFile");
  out->reset();
  if (path.type() != Variant::Type::WString) {
    return failWith(E_INVALIDARG, "addFile needs a string variant naming a local file.");
  }
  // The client spelled the path in the process's encoding; spell it back so.
  std::string file;
  if (!localPathFromWide(path.asString(), &file)) {
    return failWith(E_INVALIDARG,
                    "The path \"" + toUtf8(path.asString()) +
                        "\" cannot be spelled in the character set of the process's locale.");
  }
  HRESULT hr = object_->pendFile(file);
  if (failed(hr)) return hr;
  *out = Ref<Unknown>(new FileEntryImpl(file));
  return S_OK;
}

HRESULT FileEntryImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  return E_NOINTERFACE;
}

HRESULT SecurityInfoImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  if (iid == kIID_SecurityInfo) return answerInterface(static_cast<SecurityInfo*>(this), out);
  return E_NOINTERFACE;
}

HRESULT SecurityInfoImpl::principals(Ref<SecurityPrincipals>* out) {
  if (injectFault("principals")) return E_FAIL;
  if (!out) return nullArgument("principals");
  *out = Ref<SecurityPrincipals>(new SecurityPrincipalsImpl(object_.get()));
  return S_OK;
}

HRESULT SecurityPrincipalsImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  if (iid == kIID_SecurityPrincipals) {
    return answerInterface(static_cast<SecurityPrincipals*>(this), out);
  }
  return E_NOINTERFACE;
}

HRESULT SecurityPrincipalsImpl::addPrincipal(int32_t userId, Ref<SecurityPrincipal>* out) {
  if (injectFault("addPrincipal")) return E_FAIL;
  if (!out) return nullArgument("addPrincipal");
  out->reset();
  if (userId <= 0) {
    return failWith(E_INVALIDARG, std::to_string(userId) + " is not a user id.");
  }
  *out = Ref<SecurityPrincipal>(new SecurityPrincipalImpl(object_.get(), userId));
  return S_OK;
}

HRESULT SecurityPrincipalImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  if (iid == kIID_SecurityPrincipal) {
    return answerInterface(static_cast<SecurityPrincipal*>(this), out);
  }
  return E_NOINTERFACE;
}

HRESULT SecurityPrincipalImpl::setRole(int32_t role) {
  if (injectFault("setRole")) return E_FAIL;
  if (role < 1 || role > 5) {
    return failWith(E_INVALIDARG,
                    "Role " + std::to_string(role) + " is not valid; roles are 1 to 5.");
  }
  return object_->pendRight(userId_, role);
}

}  // namespace korva
