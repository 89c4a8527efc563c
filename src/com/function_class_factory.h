// A process-wide class factory that hands CreateInstance on to a creation
// function, for a server that registers its classes or hands out their
// factories.
//
// Thread-safety: holds only the function; may be called on any thread.
// Ownership: the factory counts no references of its own and is never
// freed; its locks (LockServer) count as uses of its module. What
// CreateInstance hands out belongs to the caller.
#ifndef KORVA_COM_FUNCTION_CLASS_FACTORY_H_
#define KORVA_COM_FUNCTION_CLASS_FACTORY_H_

#include "com/module_use.h"
#include "platform/com.h"

namespace korva {

class FunctionClassFactory final : public IClassFactory {
 public:
  using Create = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);
  explicit FunctionClassFactory(Create create) : create_(create) {}

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
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++moduleUseCount();
    } else {
      --moduleUseCount();
    }
    return S_OK;
  }

 private:
  Create create_;
};

}  // namespace korva

#endif  // KORVA_COM_FUNCTION_CLASS_FACTORY_H_
