// The object model of the report server's client library, as the engine sees
// it: abstract interfaces over com.h with their class and interface ids. The
// client reaches a server only through createInstance() with these ids; which
// server answers (the embedded one, or the product's own) is not its concern.
//
// Every operation answers a result (negative = failure); on failure the
// server leaves a description for the calling thread, read through the
// ErrorSource. Objects come back as added references in Ref<T> out
// parameters. Texts are wide.
//
// Thread-safety: one session and the objects it hands out are used by one
// thread at a time.
#ifndef KORVA_SERVER_REPORT_SERVER_H_
#define KORVA_SERVER_REPORT_SERVER_H_

#include <cstdint>
#include <string>

#include "platform/com.h"

namespace korva {

// Class ids.
constexpr Guid kCLSID_SessionManager = {
    0x07C125F2, 0x0E5A, 0x11D3, {0xB3, 0x39, 0x00, 0xA0, 0xC9, 0xB0, 0x4E, 0x87}};
constexpr Guid kCLSID_ErrorSource = {
    0x0D1D15C2, 0xC958, 0x11D3, {0x9C, 0x02, 0x00, 0x90, 0x27, 0x19, 0x14, 0x8B}};

// Interface ids. The first five are the product's own; the rest are ours.
constexpr Guid kIID_SessionManager = {
    0x6A8F19D1, 0x01C2, 0x11D3, {0xB3, 0x33, 0x00, 0xA0, 0xC9, 0xB0, 0x4E, 0x87}};
constexpr Guid kIID_InfoStore = {
    0x5692DA96, 0xCAC4, 0x11D2, {0x90, 0x2B, 0x00, 0xA0, 0xC9, 0xDA, 0xC8, 0xC2}};
constexpr Guid kIID_UserObject = {
    0xF26F7BC5, 0xD494, 0x4E83, {0x9C, 0x11, 0x89, 0x38, 0xBD, 0x3D, 0xE3, 0x67}};
constexpr Guid kIID_ReportObject = {
    0xD020E880, 0xD41A, 0x11D3, {0x80, 0x9E, 0x00, 0x90, 0x27, 0x75, 0xD6, 0x7E}};
constexpr Guid kIID_ErrorSource = {
    0x0D1D15C1, 0xC958, 0x11D3, {0x9C, 0x02, 0x00, 0x90, 0x27, 0x19, 0x14, 0x8B}};
constexpr Guid kIID_Session = {
    0x4B0A7E01, 0x6F1D, 0x4C2A, {0x9E, 0x10, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x01}};
constexpr Guid kIID_PluginManager = {
    0x4B0A7E02, 0x6F1D, 0x4C2A, {0x9E, 0x10, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x02}};
constexpr Guid kIID_InfoObjects = {
    0x4B0A7E03, 0x6F1D, 0x4C2A, {0x9E, 0x10, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x03}};
constexpr Guid kIID_InfoObject = {
    0x4B0A7E04, 0x6F1D, 0x4C2A, {0x9E, 0x10, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x04}};
constexpr Guid kIID_DesktopPlugin = {
    0x4B0A7E05, 0x6F1D, 0x4C2A, {0x9E, 0x10, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x05}};
constexpr Guid kIID_ReportFiles = {
    0x4B0A7E06, 0x6F1D, 0x4C2A, {0x9E, 0x10, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x06}};
constexpr Guid kIID_SecurityInfo = {
    0x4B0A7E07, 0x6F1D, 0x4C2A, {0x9E, 0x10, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x07}};
constexpr Guid kIID_SecurityPrincipals = {
    0x4B0A7E08, 0x6F1D, 0x4C2A, {0x9E, 0x10, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x08}};
constexpr Guid kIID_SecurityPrincipal = {
    0x4B0A7E09, 0x6F1D, 0x4C2A, {0x9E, 0x10, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x09}};
constexpr Guid kIID_ErrorInfo = {
    0x4B0A7E0A, 0x6F1D, 0x4C2A, {0x9E, 0x10, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x0A}};

class Session;
class PluginManager;
class InfoStore;
class InfoObjects;
class InfoObject;
class DesktopPlugin;
class ReportFiles;
class SecurityInfo;
class SecurityPrincipals;
class SecurityPrincipal;
class ErrorInfo;

class SessionManager : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_SessionManager; }
  virtual HRESULT logon(const wchar_t* user, const wchar_t* password, const wchar_t* apsName,
                        const wchar_t* authentication, Ref<Session>* session) = 0;
};

class Session : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_Session; }
  virtual HRESULT getPluginManager(Ref<PluginManager>* out) = 0;
  // The service object answers InfoStore through queryInterface.
  virtual HRESULT getService(const wchar_t* serverName, const wchar_t* serviceName,
                             Ref<Unknown>* out) = 0;
};

class InfoStore : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_InfoStore; }
  virtual HRESULT query(const wchar_t* text, Ref<InfoObjects>* out) = 0;
  // Applies every change pending in the collection, all or nothing.
  virtual HRESULT commit(InfoObjects* objects) = 0;
};

class PluginManager : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_PluginManager; }
  // "Desktop": a collection whose items answer DesktopPlugin.
  virtual HRESULT getPlugins(const wchar_t* kind, Ref<InfoObjects>* out) = 0;
};

class InfoObjects : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_InfoObjects; }
  virtual HRESULT count(int32_t* out) = 0;
  // index: a 32-bit integer variant, 1-based.
  virtual HRESULT item(const Variant& index, Ref<InfoObject>* out) = 0;
  // A new, pending object of the plugin's type.
  virtual HRESULT add(DesktopPlugin* plugin, Ref<InfoObject>* out) = 0;
  // index: a variant holding the object; deleted at commit.
  virtual HRESULT remove(const Variant& object) = 0;
};

class InfoObject : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_InfoObject; }
  // "SI_PARENTID" (32-bit integer), "SI_REPORTTYPE" (wide string).
  virtual HRESULT setProperty(const wchar_t* name, const Variant& value) = 0;
  virtual HRESULT id(int32_t* out) = 0;
  virtual HRESULT title(std::wstring* out) = 0;
  virtual HRESULT setTitle(const wchar_t* text) = 0;
  virtual HRESULT setDescription(const wchar_t* text) = 0;
  virtual HRESULT files(Ref<ReportFiles>* out) = 0;
  virtual HRESULT securityInfo(Ref<SecurityInfo>* out) = 0;
};

// The items of the "Desktop" plugin list.
class DesktopPlugin : public virtual InfoObject {
 public:
  static const Guid& iid() { return kIID_DesktopPlugin; }
  virtual HRESULT typeId(int16_t* out) = 0;
  virtual HRESULT name(std::wstring* out) = 0;
};

class UserObject : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_UserObject; }
  virtual HRESULT setFullName(const wchar_t* text) = 0;
  virtual HRESULT setPasswordOption1(bool value) = 0;
  virtual HRESULT setPasswordOption2(bool value) = 0;
  virtual HRESULT setPasswordOption3(bool value) = 0;
  // 0 a named user, 1 otherwise.
  virtual HRESULT setLicenseType(int32_t type) = 0;
  virtual HRESULT setPassword(const wchar_t* text) = 0;
};

class ReportObject : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_ReportObject; }
  virtual HRESULT setThumbnail(bool value) = 0;
};

class ReportFiles : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_ReportFiles; }
  // path: a wide-string variant naming a local file, which becomes the
  // report's content at commit.
  virtual HRESULT addFile(const Variant& path, int32_t flag, const Variant& extra,
                          Ref<Unknown>* out) = 0;
};

class SecurityInfo : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_SecurityInfo; }
  virtual HRESULT principals(Ref<SecurityPrincipals>* out) = 0;
};

class SecurityPrincipals : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_SecurityPrincipals; }
  virtual HRESULT addPrincipal(int32_t userId, Ref<SecurityPrincipal>* out) = 0;
};

class SecurityPrincipal : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_SecurityPrincipal; }
  // 1 NoAccess, 2 View, 3 Schedule, 4 ViewOnDemand, 5 FullControl.
  virtual HRESULT setRole(int32_t role) = 0;
};

class ErrorInfo : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_ErrorInfo; }
  virtual HRESULT description(std::wstring* out) = 0;
};

class ErrorSource : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_ErrorSource; }
  // The calling thread's last report server error.
  virtual HRESULT lastError(Ref<ErrorInfo>* out) = 0;
};

}  // namespace korva

#endif  // KORVA_SERVER_REPORT_SERVER_H_
