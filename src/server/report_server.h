// The interfaces of the report server's client library, as COM interfaces:
// each derives from IDispatch (slots 0 to 6), its own operations at their
// fixed slot numbers, every slot in between a placeholder that no caller uses
// (named reservedN for slot N; a server answers E_NOTIMPL). A C client's
// table of function pointers with slot i lands on the i-th entry here: one
// inheritance chain, no virtual bases, nothing else virtual.
//
// The client creates the session manager and the error source by class id
// and asks QueryInterface only for the published interface ids below
// (InterfaceId<T>); every other interface comes as a typed result. item
// answers an IDispatch whose table is the interface its collection holds: a
// DesktopPlugin from the plugin list, an InfoObject from a query (itemAs).
//
// Every operation answers a result (negative = failure); on failure the
// server leaves a description for the calling thread, read through the
// ErrorSource. Texts are BSTR (a text answered through BSTR* belongs to the
// caller), booleans VARIANT_BOOL (true = VARIANT_TRUE), objects come back as
// added references.
//
// Thread-safety: one session and the objects it hands out are used by one
// thread at a time.
#ifndef KORVA_SERVER_REPORT_SERVER_H_
#define KORVA_SERVER_REPORT_SERVER_H_

#include "com/interface_id.h"
#include "com/ref.h"
#include "com/variant.h"
#include "platform/com.h"

// KORVA_FOR_EACH(m, a, b, ...): m(a); m(b); ... for one to nine arguments.
#define KORVA_FOR_EACH(m, ...)                                                                  \
  KORVA_EACH_PICK(__VA_ARGS__, KORVA_EACH9, KORVA_EACH8, KORVA_EACH7, KORVA_EACH6, KORVA_EACH5, \
                  KORVA_EACH4, KORVA_EACH3, KORVA_EACH2, KORVA_EACH1)                           \
  (m, __VA_ARGS__)
#define KORVA_EACH_PICK(_1, _2, _3, _4, _5, _6, _7, _8, _9, name, ...) name
// clang-format off
#define KORVA_EACH1(m, a) m(a)
#define KORVA_EACH2(m, a, ...) m(a); KORVA_EACH1(m, __VA_ARGS__)
#define KORVA_EACH3(m, a, ...) m(a); KORVA_EACH2(m, __VA_ARGS__)
#define KORVA_EACH4(m, a, ...) m(a); KORVA_EACH3(m, __VA_ARGS__)
#define KORVA_EACH5(m, a, ...) m(a); KORVA_EACH4(m, __VA_ARGS__)
#define KORVA_EACH6(m, a, ...) m(a); KORVA_EACH5(m, __VA_ARGS__)
#define KORVA_EACH7(m, a, ...) m(a); KORVA_EACH6(m, __VA_ARGS__)
#define KORVA_EACH8(m, a, ...) m(a); KORVA_EACH7(m, __VA_ARGS__)
#define KORVA_EACH9(m, a, ...) m(a); KORVA_EACH8(m, __VA_ARGS__)
// clang-format on

namespace korva {

// Class ids.
inline constexpr CLSID CLSID_SessionManager = {
    0x07C125F2, 0x0E5A, 0x11D3, {0xB3, 0x39, 0x00, 0xA0, 0xC9, 0xB0, 0x4E, 0x87}};
inline constexpr CLSID CLSID_ErrorSource = {
    0x0D1D15C2, 0xC958, 0x11D3, {0x9C, 0x02, 0x00, 0x90, 0x27, 0x19, 0x14, 0x8B}};

// The published interface ids.
inline constexpr IID IID_SessionManager = {
    0x6A8F19D1, 0x01C2, 0x11D3, {0xB3, 0x33, 0x00, 0xA0, 0xC9, 0xB0, 0x4E, 0x87}};
inline constexpr IID IID_InfoStore = {
    0x5692DA96, 0xCAC4, 0x11D2, {0x90, 0x2B, 0x00, 0xA0, 0xC9, 0xDA, 0xC8, 0xC2}};
inline constexpr IID IID_UserObject = {
    0xF26F7BC5, 0xD494, 0x4E83, {0x9C, 0x11, 0x89, 0x38, 0xBD, 0x3D, 0xE3, 0x67}};
inline constexpr IID IID_ReportObject = {
    0xD020E880, 0xD41A, 0x11D3, {0x80, 0x9E, 0x00, 0x90, 0x27, 0x75, 0xD6, 0x7E}};
inline constexpr IID IID_ErrorSource = {
    0x0D1D15C1, 0xC958, 0x11D3, {0x9C, 0x02, 0x00, 0x90, 0x27, 0x19, 0x14, 0x8B}};

struct Session;
struct PluginManager;
struct InfoObjects;
struct InfoObject;
struct DesktopPlugin;
struct ReportFiles;
struct SecurityInfo;
struct SecurityPrincipals;
struct SecurityPrincipal;
struct ErrorInfo;

// KORVA_SLOT(n): the placeholder of slot n; KORVA_SLOTS(n, m, ...): a run of
// them, in slot order (at most nine).
#define KORVA_SLOT(n) virtual HRESULT STDMETHODCALLTYPE reserved##n() = 0
#define KORVA_SLOTS(...) KORVA_FOR_EACH(KORVA_SLOT, __VA_ARGS__)

struct SessionManager : public IDispatch {
  /* 7 */ virtual HRESULT STDMETHODCALLTYPE logon(BSTR user, BSTR password, BSTR apsName,
                                                  BSTR authentication, Session** session) = 0;
};

struct Session : public IDispatch {
  KORVA_SLOTS(7, 8, 9, 10, 11, 12, 13, 14, 15);
  /* 16 */ virtual HRESULT STDMETHODCALLTYPE getPluginManager(PluginManager** manager) = 0;
  // The service object answers InfoStore through QueryInterface.
  /* 17 */ virtual HRESULT STDMETHODCALLTYPE getService(BSTR serverName, BSTR serviceName,
                                                        IUnknown** service) = 0;
};

struct InfoStore : public IDispatch {
  /* 7 */ virtual HRESULT STDMETHODCALLTYPE query(BSTR text, InfoObjects** objects) = 0;
  // Applies every change pending in the collection, all or nothing.
  /* 8 */ virtual HRESULT STDMETHODCALLTYPE commit(InfoObjects* objects) = 0;
};

struct PluginManager : public IDispatch {
  KORVA_SLOTS(7, 8);
  // "Desktop": a collection of DesktopPlugins.
  /* 9 */ virtual HRESULT STDMETHODCALLTYPE getPlugins(BSTR kind, InfoObjects** plugins) = 0;
};

struct InfoObjects : public IDispatch {
  KORVA_SLOTS(7, 8, 9, 10);
  /* 11 */ virtual HRESULT STDMETHODCALLTYPE count(LONG* count) = 0;
  // position: VT_I4, 1-based.
  /* 12 */ virtual HRESULT STDMETHODCALLTYPE item(VARIANT position, IDispatch** object) = 0;
  KORVA_SLOT(13);
  // A new, pending object of the plugin's type.
  /* 14 */ virtual HRESULT STDMETHODCALLTYPE add(DesktopPlugin* plugin, InfoObject** object) = 0;
  KORVA_SLOT(15);
  // object: VT_DISPATCH holding an object of the collection; deleted at commit.
  /* 16 */ virtual HRESULT STDMETHODCALLTYPE remove(VARIANT object) = 0;
};

// The items of the "Desktop" plugin list.
struct DesktopPlugin : public IDispatch {
  /* 7 */ virtual HRESULT STDMETHODCALLTYPE typeId(SHORT* type) = 0;
  KORVA_SLOTS(8, 9, 10, 11, 12, 13);
  /* 14 */ virtual HRESULT STDMETHODCALLTYPE name(BSTR* name) = 0;
};

struct InfoObject : public IDispatch {
  KORVA_SLOTS(7, 8);
  // "SI_PARENTID" (VT_I4), "SI_REPORTTYPE" (VT_BSTR).
  /* 9 */ virtual HRESULT STDMETHODCALLTYPE setProperty(BSTR name, VARIANT value) = 0;
  /* 10 */ virtual HRESULT STDMETHODCALLTYPE id(LONG* id) = 0;
  KORVA_SLOT(11);
  /* 12 */ virtual HRESULT STDMETHODCALLTYPE title(BSTR* title) = 0;
  /* 13 */ virtual HRESULT STDMETHODCALLTYPE setTitle(BSTR title) = 0;
  KORVA_SLOT(14);
  /* 15 */ virtual HRESULT STDMETHODCALLTYPE setDescription(BSTR description) = 0;
  KORVA_SLOTS(16, 17, 18, 19, 20, 21);
  /* 22 */ virtual HRESULT STDMETHODCALLTYPE files(ReportFiles** files) = 0;
  KORVA_SLOTS(23, 24, 25);
  /* 26 */ virtual HRESULT STDMETHODCALLTYPE securityInfo(SecurityInfo** security) = 0;
};

// A user's InfoObject answers it.
struct UserObject : public IDispatch {
  /* 7 */ virtual HRESULT STDMETHODCALLTYPE setFullName(BSTR fullName) = 0;
  KORVA_SLOT(8);
  /* 9 */ virtual HRESULT STDMETHODCALLTYPE setPasswordOption1(VARIANT_BOOL value) = 0;
  KORVA_SLOT(10);
  /* 11 */ virtual HRESULT STDMETHODCALLTYPE setPasswordOption2(VARIANT_BOOL value) = 0;
  KORVA_SLOT(12);
  /* 13 */ virtual HRESULT STDMETHODCALLTYPE setPasswordOption3(VARIANT_BOOL value) = 0;
  KORVA_SLOT(14);
  // 0 a named user, 1 otherwise.
  /* 15 */ virtual HRESULT STDMETHODCALLTYPE setLicenseType(LONG type) = 0;
  KORVA_SLOT(16);
  /* 17 */ virtual HRESULT STDMETHODCALLTYPE setPassword(BSTR password) = 0;
};

// A report's InfoObject answers it.
struct ReportObject : public IDispatch {
  KORVA_SLOTS(7, 8);
  /* 9 */ virtual HRESULT STDMETHODCALLTYPE setThumbnail(VARIANT_BOOL value) = 0;
};

struct ReportFiles : public IDispatch {
  KORVA_SLOTS(7, 8, 9, 10, 11, 12, 13);
  // path: VT_BSTR naming a local file, which becomes the report's content at
  // commit.
  /* 14 */ virtual HRESULT STDMETHODCALLTYPE addFile(VARIANT path, LONG flag, VARIANT extra,
                                                     IUnknown** file) = 0;
};

struct SecurityInfo : public IDispatch {
  KORVA_SLOT(7);
  /* 8 */ virtual HRESULT STDMETHODCALLTYPE principals(SecurityPrincipals** principals) = 0;
};

struct SecurityPrincipals : public IDispatch {
  KORVA_SLOTS(7, 8, 9, 10, 11, 12, 13);
  /* 14 */ virtual HRESULT STDMETHODCALLTYPE addPrincipal(LONG userId,
                                                          SecurityPrincipal** principal) = 0;
};

struct SecurityPrincipal : public IDispatch {
  KORVA_SLOTS(7, 8, 9);
  // 1 NoAccess, 2 View, 3 Schedule, 4 ViewOnDemand, 5 FullControl.
  /* 10 */ virtual HRESULT STDMETHODCALLTYPE setRole(LONG role) = 0;
};

// The answer of lastError.
struct ErrorInfo : public IDispatch {
  KORVA_SLOTS(7, 8, 9);
  /* 10 */ virtual HRESULT STDMETHODCALLTYPE description(BSTR* text) = 0;
};

struct ErrorSource : public IDispatch {
  // The calling thread's last report server error.
  /* 7 */ virtual HRESULT STDMETHODCALLTYPE lastError(ErrorInfo** error) = 0;
};

#undef KORVA_SLOTS
#undef KORVA_SLOT

// item at the 1-based position, as the interface T its collection holds.
template <typename T>
HRESULT itemAs(InfoObjects* collection, LONG position, Ref<T>* out) {
  out->reset();
  if (!collection) return E_POINTER;
  Ref<IDispatch> object;
  const HRESULT hr = collection->item(Variant::fromInt(position), object.put());
  if (SUCCEEDED(hr)) *out = Ref<T>::adopt(static_cast<T*>(object.detach()));
  return hr;
}

}  // namespace korva

KORVA_INTERFACE_ID(korva::SessionManager, korva::IID_SessionManager);
KORVA_INTERFACE_ID(korva::InfoStore, korva::IID_InfoStore);
KORVA_INTERFACE_ID(korva::UserObject, korva::IID_UserObject);
KORVA_INTERFACE_ID(korva::ReportObject, korva::IID_ReportObject);
KORVA_INTERFACE_ID(korva::ErrorSource, korva::IID_ErrorSource);

#endif  // KORVA_SERVER_REPORT_SERVER_H_
