// The parts of the server's interfaces that no client calls: IDispatch's four
// operations (the server offers no type information and no late binding) and
// the placeholder slots between an interface's operations. Each XStub
// implements them for interface X (E_NOTIMPL); the server's objects derive
// from the stubs and implement the rest.
//
// Thread-safety: the stubs hold no state. Ownership: none.
#ifndef KORVA_REPORTSERVER_INTERFACE_STUBS_H_
#define KORVA_REPORTSERVER_INTERFACE_STUBS_H_

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

class SessionManagerStub : public DispatchStub<SessionManager> {};

class SessionStub : public DispatchStub<Session> {
 public:
  KORVA_UNUSED_SLOT(7)
  KORVA_UNUSED_SLOT(8)
  KORVA_UNUSED_SLOT(9)
  KORVA_UNUSED_SLOT(10)
  KORVA_UNUSED_SLOT(11)
  KORVA_UNUSED_SLOT(12)
  KORVA_UNUSED_SLOT(13)
  KORVA_UNUSED_SLOT(14)
  KORVA_UNUSED_SLOT(15)
};

class InfoStoreStub : public DispatchStub<InfoStore> {};

class PluginManagerStub : public DispatchStub<PluginManager> {
 public:
  KORVA_UNUSED_SLOT(7)
  KORVA_UNUSED_SLOT(8)
};

class InfoObjectsStub : public DispatchStub<InfoObjects> {
 public:
  KORVA_UNUSED_SLOT(7)
  KORVA_UNUSED_SLOT(8)
  KORVA_UNUSED_SLOT(9)
  KORVA_UNUSED_SLOT(10)
  KORVA_UNUSED_SLOT(13)
  KORVA_UNUSED_SLOT(15)
};

class DesktopPluginStub : public DispatchStub<DesktopPlugin> {
 public:
  KORVA_UNUSED_SLOT(8)
  KORVA_UNUSED_SLOT(9)
  KORVA_UNUSED_SLOT(10)
  KORVA_UNUSED_SLOT(11)
  KORVA_UNUSED_SLOT(12)
  KORVA_UNUSED_SLOT(13)
};

class InfoObjectStub : public DispatchStub<InfoObject> {
 public:
  KORVA_UNUSED_SLOT(7)
  KORVA_UNUSED_SLOT(8)
  KORVA_UNUSED_SLOT(11)
  KORVA_UNUSED_SLOT(14)
  KORVA_UNUSED_SLOT(16)
  KORVA_UNUSED_SLOT(17)
  KORVA_UNUSED_SLOT(18)
  KORVA_UNUSED_SLOT(19)
  KORVA_UNUSED_SLOT(20)
  KORVA_UNUSED_SLOT(21)
  KORVA_UNUSED_SLOT(23)
  KORVA_UNUSED_SLOT(24)
  KORVA_UNUSED_SLOT(25)
};

class UserObjectStub : public DispatchStub<UserObject> {
 public:
  KORVA_UNUSED_SLOT(8)
  KORVA_UNUSED_SLOT(10)
  KORVA_UNUSED_SLOT(12)
  KORVA_UNUSED_SLOT(14)
  KORVA_UNUSED_SLOT(16)
};

class ReportObjectStub : public DispatchStub<ReportObject> {
 public:
  KORVA_UNUSED_SLOT(7)
  KORVA_UNUSED_SLOT(8)
};

class ReportFilesStub : public DispatchStub<ReportFiles> {
 public:
  KORVA_UNUSED_SLOT(7)
  KORVA_UNUSED_SLOT(8)
  KORVA_UNUSED_SLOT(9)
  KORVA_UNUSED_SLOT(10)
  KORVA_UNUSED_SLOT(11)
  KORVA_UNUSED_SLOT(12)
  KORVA_UNUSED_SLOT(13)
};

class SecurityInfoStub : public DispatchStub<SecurityInfo> {
 public:
  KORVA_UNUSED_SLOT(7)
};

class SecurityPrincipalsStub : public DispatchStub<SecurityPrincipals> {
 public:
  KORVA_UNUSED_SLOT(7)
  KORVA_UNUSED_SLOT(8)
  KORVA_UNUSED_SLOT(9)
  KORVA_UNUSED_SLOT(10)
  KORVA_UNUSED_SLOT(11)
  KORVA_UNUSED_SLOT(12)
  KORVA_UNUSED_SLOT(13)
};

class SecurityPrincipalStub : public DispatchStub<SecurityPrincipal> {
 public:
  KORVA_UNUSED_SLOT(7)
  KORVA_UNUSED_SLOT(8)
  KORVA_UNUSED_SLOT(9)
};

class ErrorInfoStub : public DispatchStub<ErrorInfo> {
 public:
  KORVA_UNUSED_SLOT(7)
  KORVA_UNUSED_SLOT(8)
  KORVA_UNUSED_SLOT(9)
};

class ErrorSourceStub : public DispatchStub<ErrorSource> {};

#undef KORVA_UNUSED_SLOT

}  // namespace korva

#endif  // KORVA_REPORTSERVER_INTERFACE_STUBS_H_
