// The parts of the server's interfaces that no client calls: IDispatch's four
// operations (the server offers no type information and no late binding) and
// the placeholder slots between an interface's operations. Each XStub
// implements them for interface X (E_NOTIMPL); the server's objects derive
// from the stubs and implement the rest.
//
// Thread-safety: the stubs hold no state. Ownership: none.
#ifndef KORVA_REPORTSERVER_COM_INTERFACE_STUBS_H_
#define KORVA_REPORTSERVER_COM_INTERFACE_STUBS_H_

#include "platform/com.h"
#include "server/report_server.h"

namespace korva {

template <typename I>
class DispatchStub : public I {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
};

#define KORVA_UNUSED_SLOT(n) \
  HRESULT STDMETHODCALLTYPE reserved##n() override { return E_NOTIMPL; }
#define KORVA_UNUSED_SLOTS(...) KORVA_FOR_EACH(KORVA_UNUSED_SLOT, __VA_ARGS__)

class SessionManagerStub : public DispatchStub<SessionManager> {};

class SessionStub : public DispatchStub<Session> {
 public:
  KORVA_UNUSED_SLOTS(7, 8, 9, 10, 11, 12, 13, 14, 15);
};

class InfoStoreStub : public DispatchStub<InfoStore> {};

class PluginManagerStub : public DispatchStub<PluginManager> {
 public:
  KORVA_UNUSED_SLOTS(7, 8);
};

class InfoObjectsStub : public DispatchStub<InfoObjects> {
 public:
  KORVA_UNUSED_SLOTS(7, 8, 9, 10, 13, 15);
};

class DesktopPluginStub : public DispatchStub<DesktopPlugin> {
 public:
  KORVA_UNUSED_SLOTS(8, 9, 10, 11, 12, 13);
};

class InfoObjectStub : public DispatchStub<InfoObject> {
 public:
  KORVA_UNUSED_SLOTS(7, 8, 11, 14);
  KORVA_UNUSED_SLOTS(16, 17, 18, 19, 20, 21, 23, 24, 25);
};

class UserObjectStub : public DispatchStub<UserObject> {
 public:
  KORVA_UNUSED_SLOTS(8, 10, 12, 14, 16);
};

class ReportObjectStub : public DispatchStub<ReportObject> {
 public:
  KORVA_UNUSED_SLOTS(7, 8);
};

class ReportFilesStub : public DispatchStub<ReportFiles> {
 public:
  KORVA_UNUSED_SLOTS(7, 8, 9, 10, 11, 12, 13);
};

class SecurityInfoStub : public DispatchStub<SecurityInfo> {
 public:
  KORVA_UNUSED_SLOT(7)
};

class SecurityPrincipalsStub : public DispatchStub<SecurityPrincipals> {
 public:
  KORVA_UNUSED_SLOTS(7, 8, 9, 10, 11, 12, 13);
};

class SecurityPrincipalStub : public DispatchStub<SecurityPrincipal> {
 public:
  KORVA_UNUSED_SLOTS(7, 8, 9);
};

class ErrorInfoStub : public DispatchStub<ErrorInfo> {
 public:
  KORVA_UNUSED_SLOTS(7, 8, 9);
};

class ErrorSourceStub : public DispatchStub<ErrorSource> {};

#undef KORVA_UNUSED_SLOTS
#undef KORVA_UNUSED_SLOT

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_INTERFACE_STUBS_H_
