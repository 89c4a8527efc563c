// The entry objects of the embedded server: the session manager (logon), the
// session, its InfoStore service and plugin manager, and the error source
// with the error objects it hands out.
//
// Thread-safety: one thread at a time per session; the error source reads
// the calling thread's description.
// Ownership: everything a session hands out holds its SessionContext.
#ifndef KORVA_REPORTSERVER_SESSION_OBJECTS_H_
#define KORVA_REPORTSERVER_SESSION_OBJECTS_H_

#include <map>
#include <string>

#include "reportserver/com_support.h"
#include "reportserver/interface_stubs.h"
#include "reportserver/session_context.h"
#include "server/report_server.h"

namespace korva {

class SessionManagerImpl : public ServerObject<SessionManagerImpl, SessionManagerStub> {
 public:
  explicit SessionManagerImpl(std::map<std::string, int> pluginPlan)
      : pluginPlan_(std::move(pluginPlan)) {}
  IUnknown* interfaceFor(REFIID iid);
  HRESULT STDMETHODCALLTYPE logon(BSTR user, BSTR password, BSTR apsName, BSTR authentication,
                                  Session** session) override;

 private:
  ~SessionManagerImpl() override = default;
  friend class RefCountedObject<SessionManagerImpl>;
  std::map<std::string, int> pluginPlan_;
};

class SessionImpl : public ServerObject<SessionImpl, SessionStub> {
 public:
  explicit SessionImpl(SessionContextPtr ctx) : ctx_(std::move(ctx)) {}
  HRESULT STDMETHODCALLTYPE getPluginManager(PluginManager** out) override;
  HRESULT STDMETHODCALLTYPE getService(BSTR serverName, BSTR serviceName, IUnknown** out) override;

 private:
  ~SessionImpl() override = default;
  friend class RefCountedObject<SessionImpl>;
  SessionContextPtr ctx_;
};

class InfoStoreImpl : public ServerObject<InfoStoreImpl, InfoStoreStub> {
 public:
  explicit InfoStoreImpl(SessionContextPtr ctx) : ctx_(std::move(ctx)) {}
  IUnknown* interfaceFor(REFIID iid);
  HRESULT STDMETHODCALLTYPE query(BSTR text, InfoObjects** out) override;
  HRESULT STDMETHODCALLTYPE commit(InfoObjects* objects) override;

 private:
  ~InfoStoreImpl() override = default;
  friend class RefCountedObject<InfoStoreImpl>;
  SessionContextPtr ctx_;
};

class PluginManagerImpl : public ServerObject<PluginManagerImpl, PluginManagerStub> {
 public:
  explicit PluginManagerImpl(SessionContextPtr ctx) : ctx_(std::move(ctx)) {}
  HRESULT STDMETHODCALLTYPE getPlugins(BSTR kind, InfoObjects** out) override;

 private:
  ~PluginManagerImpl() override = default;
  friend class RefCountedObject<PluginManagerImpl>;
  SessionContextPtr ctx_;
};

class ErrorInfoImpl : public ServerObject<ErrorInfoImpl, ErrorInfoStub> {
 public:
  explicit ErrorInfoImpl(std::wstring text) : text_(std::move(text)) {}
  HRESULT STDMETHODCALLTYPE description(BSTR* out) override;

 private:
  ~ErrorInfoImpl() override = default;
  friend class RefCountedObject<ErrorInfoImpl>;
  std::wstring text_;
};

class ErrorSourceImpl : public ServerObject<ErrorSourceImpl, ErrorSourceStub> {
 public:
  IUnknown* interfaceFor(REFIID iid);
  // A snapshot of the calling thread's last description.
  HRESULT STDMETHODCALLTYPE lastError(ErrorInfo** out) override;

 private:
  ~ErrorSourceImpl() override = default;
  friend class RefCountedObject<ErrorSourceImpl>;
};

// What the class factories create (class_factories.h hands them out).
HRESULT createSessionManager(IUnknown* outer, REFIID iid, void** out);
HRESULT createErrorSource(IUnknown* outer, REFIID iid, void** out);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SESSION_OBJECTS_H_
