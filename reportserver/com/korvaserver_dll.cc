// korvaserver.dll's entry points: the embedded report server as an
// in-process COM server of its own. CoCreateInstance finds the library
// through its registration (DllRegisterServer, which regsvr32 calls), asks
// DllGetClassObject for the class factory of one of the server's classes
// (class_factories.h), and may unload the library once DllCanUnloadNow says that
// none of its objects is alive and no factory is locked.
//
// Thread-safety: the classes are registered "Apartment": each object is
// made and used on its creator's thread. The entry points themselves may be
// called on any thread.
// Ownership: a class factory handed out is process-wide and never freed;
// the registry keys belong to the system.
#include <string>

#include "com/module_use.h"
#include "platform/class_registry.h"
#include "platform/com.h"
#include "reportserver/com/class_factories.h"

namespace {

const char* const kThreadingModel = "Apartment";

}  // namespace

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  IClassFactory* factory = korva::classFactoryFor(classId);
  if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
  return factory->QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return korva::moduleUseCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  const void* inThisLibrary = reinterpret_cast<const void*>(&DllRegisterServer);
  for (const korva::ServerClass& c : korva::serverClasses()) {
    HRESULT hr = korva::registerInprocServer(*c.id, c.description, inThisLibrary, kThreadingModel);
    if (FAILED(hr)) {
      for (const korva::ServerClass& written : korva::serverClasses()) {
        korva::unregisterInprocServer(*written.id);
      }
      return hr;
    }
  }
  return S_OK;
}

STDAPI DllUnregisterServer() {
  HRESULT result = S_OK;
  for (const korva::ServerClass& c : korva::serverClasses()) {
    HRESULT hr = korva::unregisterInprocServer(*c.id);
    if (FAILED(hr)) result = hr;
  }
  return result;
}
