// The entry objects of the embedded server: the session manager (logon), the
// session, its InfoStore service and plugin manager, and the error source.
//
// Thread-safety: one thread at a time per session; the error source reads
// the calling thread's description.
// Ownership: everything a session hands out holds its SessionContext.
#ifndef KORVA_REPORTSERVER_SESSION_OBJECTS_H_
#define KORVA_REPORTSERVER_SESSION_OBJECTS_H_

#include <map>
#include <string>

#include "reportserver/com_support.h"
#include "reportserver/session_context.h"
#include "server/report_server.h"

namespace korva {

class SessionManagerImpl : public SessionManager, public RefCountedObject<SessionManagerImpl> {
 public:
  explicit SessionManagerImpl(std::map<std::string, int> pluginPlan)
      : pluginPlan_(std::move(pluginPlan)) {}
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  void* interfaceFor(const Guid& iid);
  HRESULT logon(const wchar_t* user, const wchar_t* password, const wchar_t* apsName,
                const wchar_t* authentication, Ref<Session>* session) override;

 private:
  ~SessionManagerImpl() override = default;
  friend class RefCountedObject<SessionManagerImpl>;
  std::map<std::string, int> pluginPlan_;
};

class SessionImpl : public Session, public RefCountedObject<SessionImpl> {
 public:
  explicit SessionImpl(SessionContextPtr ctx) : ctx_(std::move(ctx)) {}
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  HRESULT getPluginManager(Ref<PluginManager>* out) override;
  HRESULT getService(const wchar_t* serverName, const wchar_t* serviceName,
                     Ref<Unknown>* out) override;

 private:
  ~SessionImpl() override = default;
  friend class RefCountedObject<SessionImpl>;
  SessionContextPtr ctx_;
};

class InfoStoreImpl : public InfoStore, public RefCountedObject<InfoStoreImpl> {
 public:
  explicit InfoStoreImpl(SessionContextPtr ctx) : ctx_(std::move(ctx)) {}
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  HRESULT query(const wchar_t* text, Ref<InfoObjects>* out) override;
  HRESULT commit(InfoObjects* objects) override;

 private:
  ~InfoStoreImpl() override = default;
  friend class RefCountedObject<InfoStoreImpl>;
  SessionContextPtr ctx_;
};

class PluginManagerImpl : public PluginManager, public RefCountedObject<PluginManagerImpl> {
 public:
  explicit PluginManagerImpl(SessionContextPtr ctx) : ctx_(std::move(ctx)) {}
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  HRESULT getPlugins(const wchar_t* kind, Ref<InfoObjects>* out) override;

 private:
  ~PluginManagerImpl() override = default;
  friend class RefCountedObject<PluginManagerImpl>;
  SessionContextPtr ctx_;
};

class ErrorInfoImpl : public ErrorInfo, public RefCountedObject<ErrorInfoImpl> {
 public:
  explicit ErrorInfoImpl(std::wstring text) : text_(std::move(text)) {}
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  HRESULT description(std::wstring* out) override;

 private:
  ~ErrorInfoImpl() override = default;
  friend class RefCountedObject<ErrorInfoImpl>;
  std::wstring text_;
};

class ErrorSourceImpl : public ErrorSource, public RefCountedObject<ErrorSourceImpl> {
 public:
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  void* interfaceFor(const Guid& iid);
  // A snapshot of the calling thread's last description.
  HRESULT lastError(Ref<ErrorInfo>* out) override;

 private:
  ~ErrorSourceImpl() override = default;
  friend class RefCountedObject<ErrorSourceImpl>;
};

// The class factories registered with the component runtime.
HRESULT createSessionManager(const Guid& iid, void** out);
HRESULT createErrorSource(const Guid& iid, void** out);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SESSION_OBJECTS_H_
