// Users, folders, reports and desktop plugins as the client sees them.
#include "reportserver/info_object.h"

#include "reportserver/fault_injection.h"
#include "reportserver/object_parts.h"
#include "reportserver/password_hash.h"
#include "reportserver/report_content.h"
#include "reportserver/utf8.h"

namespace korva {

bool PendingChanges::changesFields() const {
  bool options = false;
  for (const auto& o : passwordOptions) options = options || o.has_value();
  return title || description || parentId || reportType || thumbnail || filePath || fullName ||
         passwordRecord || licenseType || options || !rights.empty();
}

ObjectImpl::ObjectImpl(SessionContextPtr ctx, const PluginInfo& plugin, ObjectRecord stored,
                       InfoObjectsImpl* owner)
    : ctx_(std::move(ctx)),
      plugin_(plugin),
      stored_(std::move(stored)),
      owner_(owner),
      isNew_(false) {}

ObjectImpl::ObjectImpl(SessionContextPtr ctx, const PluginInfo& plugin, InfoObjectsImpl* owner)
    : ctx_(std::move(ctx)), plugin_(plugin), owner_(owner), isNew_(true) {
  stored_.typeId = plugin.typeId;
}

void* ObjectImpl::interfaceFor(const Guid& iid) {
  if (iid == kIID_Unknown) return static_cast<Unknown*>(this);
  if (iid == kIID_InfoObject) return static_cast<InfoObject*>(this);
  if (iid == kIID_UserObject && isUser()) return static_cast<UserObject*>(this);
  if (iid == kIID_ReportObject && isReport()) return static_cast<ReportObject*>(this);
  return nullptr;
}

HRESULT ObjectImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  return failed(hr) ? hr : answerInterfaceOf(this, iid, out);
}

std::string ObjectImpl::label() const {
  const std::string kind = plugin_.name.empty() ? "object" : plugin_.name;
  return isNew_ ? "new " + kind : kind + " " + std::to_string(stored_.id);
}

HRESULT ObjectImpl::checkChangeable() {
  if (deleted_) return failWith(E_FAIL, "The " + label() + " has been deleted.");
  if (!owner_) {
    return failWith(E_FAIL, "The collection that held the " + label() +
                                " has been released; changes to it can no longer be committed.");
  }
  return S_OK;
}

HRESULT ObjectImpl::setProperty(const wchar_t* name, const Variant& value) {
  if (injectFault("setProperty")) return E_FAIL;
  if (!name) return nullArgument("setProperty");
  HRESULT hr = checkChangeable();
  if (failed(hr)) return hr;
  std::wstring property(name);
  if (property == L"SI_PARENTID") {
    if (isUser()) return failWith(E_INVALIDARG, "SI_PARENTID does not apply to users.");
    if (value.type() != Variant::Type::Int32) {
      return failWith(E_INVALIDARG, "SI_PARENTID needs a 32-bit integer value.");
    }
    if (value.asInt() < 0) {
      return failWith(E_INVALIDARG,
                      "SI_PARENTID " + std::to_string(value.asInt()) + " is not a folder id.");
    }
    if (!isNew_ && value.asInt() == stored_.id) {
      return failWith(E_INVALIDARG, "The " + label() + " cannot be its own parent.");
    }
    pending_.parentId = value.asInt();
    return S_OK;
  }
  if (property == L"SI_REPORTTYPE") {
    if (!isReport()) return failWith(E_INVALIDARG, "SI_REPORTTYPE applies to reports only.");
    if (value.type() != Variant::Type::WString) {
      return failWith(E_INVALIDARG, "SI_REPORTTYPE needs a string value.");
    }
    pending_.reportType = toUtf8(value.asString());
    return S_OK;
  }
  return failWith(E_INVALIDARG, "The property \"" + toUtf8(property) +
                                    "\" is not known; SI_PARENTID and SI_REPORTTYPE can be set.");
}

HRESULT ObjectImpl::id(int32_t* out) {
  if (injectFault("id")) return E_FAIL;
  if (!out) return nullArgument("id");
  if (isNew_) {
    *out = 0;
    return failWith(E_FAIL, "The " + label() + " has no id until it is committed.");
  }
  *out = stored_.id;
  return S_OK;
}

HRESULT ObjectImpl::title(std::wstring* out) {
  if (injectFault("title")) return E_FAIL;
  if (!out) return nullArgument("title");
  *out = fromUtf8(pending_.title ? *pending_.title : stored_.title);
  return S_OK;
}

HRESULT ObjectImpl::setTitle(const wchar_t* text) {
  if (injectFault("setTitle")) return E_FAIL;
  if (!text) return nullArgument("setTitle");
  HRESULT hr = checkChangeable();
  if (failed(hr)) return hr;
  pending_.title = toUtf8(text);
  return S_OK;
}

HRESULT ObjectImpl::setDescription(const wchar_t* text) {
  if (injectFault("setDescription")) return E_FAIL;
  if (!text) return nullArgument("setDescription");
  HRESULT hr = checkChangeable();
  if (failed(hr)) return hr;
  pending_.description = toUtf8(text);
  return S_OK;
}

HRESULT ObjectImpl::files(Ref<ReportFiles>* out) {
  if (injectFault("files")) return E_FAIL;
  if (!out) return nullArgument("files");
  out->reset();
  if (!isReport()) return failWith(E_FAIL, "Only reports have files; this is the " + label() + ".");
  *out = Ref<ReportFiles>(new ReportFilesImpl(this));
  return S_OK;
}

HRESULT ObjectImpl::securityInfo(Ref<SecurityInfo>* out) {
  if (injectFault("securityInfo")) return E_FAIL;
  if (!out) return nullArgument("securityInfo");
  out->reset();
  *out = Ref<SecurityInfo>(new SecurityInfoImpl(this));
  return S_OK;
}

HRESULT ObjectImpl::needUser(const char* operation) {
  if (!isUser()) {
    return failWith(E_NOINTERFACE, std::string(operation) + " applies to users only.");
  }
  return checkChangeable();
}

HRESULT ObjectImpl::setFullName(const wchar_t* text) {
  if (injectFault("setFullName")) return E_FAIL;
  if (!text) return nullArgument("setFullName");
  HRESULT hr = needUser("setFullName");
  if (failed(hr)) return hr;
  pending_.fullName = toUtf8(text);
  return S_OK;
}

HRESULT ObjectImpl::setPasswordOption(int which, bool value, const char* operation) {
  if (injectFault(operation)) return E_FAIL;
  HRESULT hr = needUser(operation);
  if (failed(hr)) return hr;
  pending_.passwordOptions[which] = value;
  return S_OK;
}

HRESULT ObjectImpl::setPasswordOption1(bool value) {
  return setPasswordOption(0, value, "setPasswordOption1");
}
HRESULT ObjectImpl::setPasswordOption2(bool value) {
  return setPasswordOption(1, value, "setPasswordOption2");
}
HRESULT ObjectImpl::setPasswordOption3(bool value) {
  return setPasswordOption(2, value, "setPasswordOption3");
}

HRESULT ObjectImpl::setLicenseType(int32_t type) {
  if (injectFault("setLicenseType")) return E_FAIL;
  HRESULT hr = needUser("setLicenseType");
  if (failed(hr)) return hr;
  if (type != 0 && type != 1) {
    return failWith(E_INVALIDARG, "Licence type " + std::to_string(type) +
                                      " is not valid: 0 is a named user, 1 any other.");
  }
  pending_.licenseType = type;
  return S_OK;
}

HRESULT ObjectImpl::setPassword(const wchar_t* text) {
  if (injectFault("setPassword")) return E_FAIL;
  if (!text) return nullArgument("setPassword");
  HRESULT hr = needUser("setPassword");
  if (failed(hr)) return hr;
  std::string password = toUtf8(text);
  std::string record;
  if (!password.empty() && !hashPassword(password, &record)) {
    return failWith(E_FAIL, "The password could not be hashed.");
  }
  pending_.passwordRecord = record;
  return S_OK;
}

HRESULT ObjectImpl::setThumbnail(bool value) {
  if (injectFault("setThumbnail")) return E_FAIL;
  if (!isReport()) return failWith(E_NOINTERFACE, "setThumbnail applies to reports only.");
  HRESULT hr = checkChangeable();
  if (failed(hr)) return hr;
  pending_.thumbnail = value;
  return S_OK;
}

HRESULT ObjectImpl::pendFile(const std::string& path) {
  HRESULT hr = checkChangeable();
  if (failed(hr)) return hr;
  std::string error;
  if (!checkReadableFile(path, &error)) return failWith(E_FAIL, error);
  pending_.filePath = path;
  return S_OK;
}

HRESULT ObjectImpl::pendRight(int32_t userId, int32_t role) {
  HRESULT hr = checkChangeable();
  if (failed(hr)) return hr;
  pending_.rights[userId] = role;
  return S_OK;
}

ObjectRecord ObjectImpl::merged() const {
  ObjectRecord r = stored_;
  if (pending_.title) r.title = *pending_.title;
  if (pending_.description) r.description = *pending_.description;
  if (pending_.parentId) r.parentId = *pending_.parentId;
  if (pending_.reportType) r.reportType = *pending_.reportType;
  if (pending_.thumbnail) r.thumbnail = *pending_.thumbnail;
  if (pending_.fullName) r.fullName = *pending_.fullName;
  if (pending_.passwordRecord) r.hasPassword = !pending_.passwordRecord->empty();
  for (int i = 0; i < 3; ++i) {
    if (pending_.passwordOptions[i]) r.passwordOptions[i] = *pending_.passwordOptions[i];
  }
  if (pending_.licenseType) r.licenseType = *pending_.licenseType;
  return r;
}

void ObjectImpl::committed(const ObjectRecord& record) {
  stored_ = record;
  pending_ = PendingChanges();
  isNew_ = false;
}

void ObjectImpl::committedRemoval() {
  pending_ = PendingChanges();
  deleted_ = true;
}

void ObjectImpl::collectionReleased() {
  // Most objects of a query are only read; they have nothing to discard.
  if (pending_.remove || pending_.changesFields()) pending_ = PendingChanges();
  owner_ = nullptr;
}

// Desktop plugins: read-only objects.

HRESULT PluginObjectImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  if (iid == kIID_InfoObject) return answerInterface(static_cast<InfoObject*>(this), out);
  if (iid == kIID_DesktopPlugin) return answerInterface(static_cast<DesktopPlugin*>(this), out);
  return E_NOINTERFACE;
}

namespace {
HRESULT pluginIsReadOnly() { return failWith(E_FAIL, "A desktop plugin cannot be changed."); }
}  // namespace

HRESULT PluginObjectImpl::setProperty(const wchar_t*, const Variant&) {
  if (injectFault("setProperty")) return E_FAIL;
  return pluginIsReadOnly();
}

HRESULT PluginObjectImpl::id(int32_t* out) {
  if (injectFault("id")) return E_FAIL;
  if (!out) return nullArgument("id");
  *out = plugin_.id;
  return S_OK;
}

HRESULT PluginObjectImpl::title(std::wstring* out) {
  if (injectFault("title")) return E_FAIL;
  if (!out) return nullArgument("title");
  *out = fromUtf8(plugin_.name);
  return S_OK;
}

HRESULT PluginObjectImpl::setTitle(const wchar_t*) {
  if (injectFault("setTitle")) return E_FAIL;
  return pluginIsReadOnly();
}

HRESULT PluginObjectImpl::setDescription(const wchar_t*) {
  if (injectFault("setDescription")) return E_FAIL;
  return pluginIsReadOnly();
}

HRESULT PluginObjectImpl::files(Ref<ReportFiles>* out) {
  if (injectFault("files")) return E_FAIL;
  if (out) out->reset();
  return failWith(E_FAIL, "A desktop plugin has no files.");
}

HRESULT PluginObjectImpl::securityInfo(Ref<SecurityInfo>* out) {
  if (injectFault("securityInfo")) return E_FAIL;
  if (out) out->reset();
  return failWith(E_FAIL, "A desktop plugin has no security information.");
}

HRESULT PluginObjectImpl::typeId(int16_t* out) {
  if (injectFault("typeId")) return E_FAIL;
  if (!out) return nullArgument("typeId");
  *out = plugin_.typeId;
  return S_OK;
}

HRESULT PluginObjectImpl::name(std::wstring* out) {
  if (injectFault("name")) return E_FAIL;
  if (!out) return nullArgument("name");
  *out = fromUtf8(plugin_.name);
  return S_OK;
}

}  // namespace korva
