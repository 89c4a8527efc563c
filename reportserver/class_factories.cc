// The two class factories: each hands CreateInstance on to its class's
// creation function.
#include "reportserver/class_factories.h"

#include "reportserver/session_objects.h"
#include "server/report_server.h"

namespace korva {
namespace {

class ClassFactory final : public IClassFactory {
 public:
  using Create = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);
  explicit ClassFactory(Create create) : create_(create) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    return create_(outer, iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  Create create_;
};

}  // namespace

IClassFactory* sessionManagerFactory() {
  static ClassFactory factory(&createSessionManager);
  return &factory;
}

IClassFactory* errorSourceFactory() {
  static ClassFactory factory(&createErrorSource);
  return &factory;
}

IClassFactory* classFactoryFor(REFCLSID classId) {
  if (classId == CLSID_SessionManager) return sessionManagerFactory();
  if (classId == CLSID_ErrorSource) return errorSourceFactory();
  return nullptr;
}

}  // namespace korva
