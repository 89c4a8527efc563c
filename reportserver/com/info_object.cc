// Users, folders, reports and desktop plugins as the client sees them.
#include "reportserver/com/info_object.h"

#include <optional>

#include "com/ref.h"
#include "com/variant.h"
#include "reportserver/com/report_files.h"
#include "reportserver/com/security_info.h"
#include "reportserver/store/password_hash.h"
#include "reportserver/store/report_file_reading.h"
#include "reportserver/text/utf8.h"

namespace korva {

PendingChanges& ObjectImpl::pending() {
  if (!pending_) pending_ = std::make_unique<PendingChanges>();
  return *pending_;
}

bool ObjectImpl::hasPending() const {
  return isNew_ || (pending_ && (pending_->remove || pending_->changesFields()));
}

ObjectImpl::ObjectImpl(const PluginInfo& plugin, const ObjectHead& stored, InfoObjectsImpl* owner)
    : owner_(owner), stored_(stored), isNew_(false), plugin_(plugin) {}

ObjectImpl::ObjectImpl(const PluginInfo& plugin, InfoObjectsImpl* owner)
    : owner_(owner), isNew_(true), plugin_(plugin) {
  stored_.typeId = plugin.typeId;
}

IUnknown* ObjectImpl::interfaceFor(REFIID iid) {
  if (iid == IID_UserObject) return isUser() ? static_cast<UserObject*>(this) : nullptr;
  if (iid == IID_ReportObject) return isReport() ? static_cast<ReportObject*>(this) : nullptr;
  return dispatchInterface(static_cast<InfoObject*>(this), iid);
}

HRESULT ObjectImpl::QueryInterface(REFIID iid, void** out) {
  return queryInterfaceOf(this, iid, out);
}

std::string ObjectImpl::label() const {
  return ObjectChange::objectLabel(plugin_, isNew_, stored_.id);
}

HRESULT ObjectImpl::checkChangeable() {
  if (deleted_) return failWith(E_FAIL, "The " + label() + " has been deleted.");
  if (!owner_) {
    return failWith(E_FAIL, "The collection that held the " + label() +
                                " has been released; changes to it can no longer be committed.");
  }
  return S_OK;
}

HRESULT ObjectImpl::setProperty(BSTR name, VARIANT value) {
  if (HRESULT hr = enterMethod("setProperty", name); FAILED(hr)) return hr;
  HRESULT hr = checkChangeable();
  if (FAILED(hr)) return hr;
  const std::string property = textOf(name);
  if (property == "SI_PARENTID") {
    if (isUser()) return failWith(E_INVALIDARG, "SI_PARENTID does not apply to users.");
    const std::optional<LONG> parent = variantAs<LONG>(value);
    if (!parent) return failWith(E_INVALIDARG, "SI_PARENTID needs a 32-bit integer value.");
    if (*parent < 0) {
      return failWith(E_INVALIDARG,
                      "SI_PARENTID " + std::to_string(*parent) + " is not a folder id.");
    }
    if (!isNew_ && *parent == stored_.id) {
      return failWith(E_INVALIDARG, "The " + label() + " cannot be its own parent.");
    }
    pending().parentId = *parent;
    return S_OK;
  }
  if (property == "SI_REPORTTYPE") {
    if (!isReport()) return failWith(E_INVALIDARG, "SI_REPORTTYPE applies to reports only.");
    const std::optional<BSTR> type = variantAs<BSTR>(value);
    if (!type) return failWith(E_INVALIDARG, "SI_REPORTTYPE needs a string value.");
    pending().reportType = textOf(*type);
    return S_OK;
  }
  return failWith(E_INVALIDARG, "The property \"" + property +
                                    "\" is not known; SI_PARENTID and SI_REPORTTYPE can be set.");
}

HRESULT ObjectImpl::id(LONG* out) {
  if (HRESULT hr = enterMethod("id", out); FAILED(hr)) return hr;
  if (isNew_) {
    *out = 0;
    return failWith(E_FAIL, "The " + label() + " has no id until it is committed.");
  }
  *out = stored_.id;
  return S_OK;
}

HRESULT ObjectImpl::title(BSTR* out) {
  if (HRESULT hr = enterMethod("title", out); FAILED(hr)) return hr;
  return answerText(pending_ && pending_->title ? *pending_->title : stored_.title, out);
}

HRESULT ObjectImpl::setTitle(BSTR text) {
  if (HRESULT hr = enterMethod("setTitle", text); FAILED(hr)) return hr;
  HRESULT hr = checkChangeable();
  if (FAILED(hr)) return hr;
  pending().title = textOf(text);
  return S_OK;
}

HRESULT ObjectImpl::setDescription(BSTR text) {
  if (HRESULT hr = enterMethod("setDescription", text); FAILED(hr)) return hr;
  HRESULT hr = checkChangeable();
  if (FAILED(hr)) return hr;
  pending().description = textOf(text);
  return S_OK;
}

HRESULT ObjectImpl::files(ReportFiles** out) {
  if (HRESULT hr = enterMethod("files", out); FAILED(hr)) return hr;
  if (!isReport()) return failWith(E_FAIL, "Only reports have files; this is the " + label() + ".");
  *out = Ref<ReportFiles>(new ReportFilesImpl(this)).detach();
  return S_OK;
}

HRESULT ObjectImpl::securityInfo(SecurityInfo** out) {
  if (HRESULT hr = enterMethod("securityInfo", out); FAILED(hr)) return hr;
  *out = Ref<SecurityInfo>(new SecurityInfoImpl(this)).detach();
  return S_OK;
}

HRESULT ObjectImpl::needUser(const char* operation) {
  if (!isUser()) {
    return failWith(E_NOINTERFACE, std::string(operation) + " applies to users only.");
  }
  return checkChangeable();
}

HRESULT ObjectImpl::setFullName(BSTR text) {
  if (HRESULT hr = enterMethod("setFullName", text); FAILED(hr)) return hr;
  HRESULT hr = needUser("setFullName");
  if (FAILED(hr)) return hr;
  pending().fullName = textOf(text);
  return S_OK;
}

HRESULT ObjectImpl::setPasswordOption(int which, VARIANT_BOOL value, const char* operation) {
  if (HRESULT hr = enterMethod(operation); FAILED(hr)) return hr;
  HRESULT hr = needUser(operation);
  if (FAILED(hr)) return hr;
  pending().passwordOptions[which] = value != VARIANT_FALSE;
  return S_OK;
}

HRESULT ObjectImpl::setPasswordOption1(VARIANT_BOOL value) {
  return setPasswordOption(0, value, "setPasswordOption1");
}
HRESULT ObjectImpl::setPasswordOption2(VARIANT_BOOL value) {
  return setPasswordOption(1, value, "setPasswordOption2");
}
HRESULT ObjectImpl::setPasswordOption3(VARIANT_BOOL value) {
  return setPasswordOption(2, value, "setPasswordOption3");
}

HRESULT ObjectImpl::setLicenseType(LONG type) {
  if (HRESULT hr = enterMethod("setLicenseType"); FAILED(hr)) return hr;
  HRESULT hr = needUser("setLicenseType");
  if (FAILED(hr)) return hr;
  if (type != 0 && type != 1) {
    return failWith(E_INVALIDARG, "Licence type " + std::to_string(type) +
                                      " is not valid: 0 is a named user, 1 any other.");
  }
  pending().licenseType = type;
  return S_OK;
}

HRESULT ObjectImpl::setPassword(BSTR text) {
  if (HRESULT hr = enterMethod("setPassword", text); FAILED(hr)) return hr;
  HRESULT hr = needUser("setPassword");
  if (FAILED(hr)) return hr;
  std::string password = textOf(text);
  std::string record;
  if (!password.empty() && !hashPassword(password, &record)) {
    return failWith(E_FAIL, "The password could not be hashed.");
  }
  pending().passwordRecord = record;
  return S_OK;
}

HRESULT ObjectImpl::setThumbnail(VARIANT_BOOL value) {
  if (HRESULT hr = enterMethod("setThumbnail"); FAILED(hr)) return hr;
  if (!isReport()) return failWith(E_NOINTERFACE, "setThumbnail applies to reports only.");
  HRESULT hr = checkChangeable();
  if (FAILED(hr)) return hr;
  pending().thumbnail = value != VARIANT_FALSE;
  return S_OK;
}

HRESULT ObjectImpl::pendFile(const std::string& path) {
  HRESULT hr = checkChangeable();
  if (FAILED(hr)) return hr;
  std::string error;
  if (!checkReadableFile(path, &error)) return failWith(E_FAIL, error);
  pending().filePath = path;
  return S_OK;
}

HRESULT ObjectImpl::pendRight(int32_t userId, int32_t role) {
  HRESULT hr = checkChangeable();
  if (FAILED(hr)) return hr;
  pending().rights[userId] = role;
  return S_OK;
}

ObjectChange ObjectImpl::change() const {
  ObjectChange c;
  c.plugin = plugin_;
  c.stored = stored_;
  c.isNew = isNew_;
  if (pending_) c.pending = *pending_;
  return c;
}

void ObjectImpl::committed(const ObjectRecord& record) {
  if (!isNew_ && (record.parentId != stored_.parentId || record.title != stored_.title)) {
    headChanged_ = true;
  }
  stored_.id = record.id;
  stored_.typeId = record.typeId;
  stored_.parentId = record.parentId;
  stored_.title = record.title;
  pending_.reset();
  isNew_ = false;
}

void ObjectImpl::committedRemoval() {
  pending_.reset();
  deleted_ = true;
}

void ObjectImpl::collectionReleased() {
  pending_.reset();
  owner_ = nullptr;
}

}  // namespace korva
