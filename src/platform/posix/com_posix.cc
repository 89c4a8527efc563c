// The component runtime on POSIX: there is no system COM, so per-thread
// initialisation is a counter, BSTR and VARIANT are managed here with the
// Windows layouts, and the class registry is an in-process table of class
// factories that servers enter themselves in (CoRegisterClassObject) and
// CoCreateInstance asks.
//
// Thread-safety: the registry is guarded by a lock and a factory is called
// outside it; the initialisation count is per thread.
// Ownership: the registry holds a reference to every registered factory until
// the registration is revoked.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/com.h"
#include "platform/com_init_count.h"
#include "platform/com_layout.h"
#include "platform/posix/platform_classes.h"
#include "platform/sax.h"

extern "C" {
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
}

namespace {

thread_local int tInitCount = 0;
thread_local DWORD tInitModel = 0;

// A BSTR's characters follow its 4-byte length prefix (com_layout.h).
using BstrPrefix = korva::BstrLengthPrefix;
constexpr size_t kMaxBstrChars = (UINT32_MAX - sizeof(BstrPrefix)) / sizeof(OLECHAR) - 1;

struct Registration {
  CLSID classId;
  IClassFactory* factory;  // a reference of the registry
  DWORD context;
  DWORD cookie;
};

struct Registry {
  std::mutex lock;
  std::vector<Registration> entries;
  DWORD nextCookie = 1;
};

// The platform's own classes are entered when the table is first built: a
// static registration object in an archive member could be dropped by the
// linker, a direct reference cannot.
Registry& registry() {
  static Registry* table = [] {
    auto* r = new Registry();
    IClassFactory* sax = korva::posix::saxXmlReaderFactory();
    sax->AddRef();
    r->entries.push_back({CLSID_SAXXMLReader, sax, CLSCTX_INPROC_SERVER, r->nextCookie++});
    return r;
  }();
  return *table;
}

}  // namespace

namespace korva {
int comInitializeCount() { return tInitCount; }
}  // namespace korva

extern "C" {

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > kMaxBstrChars) return nullptr;
  void* block =
      std::malloc(sizeof(BstrPrefix) + (static_cast<size_t>(length) + 1) * sizeof(OLECHAR));
  if (!block) return nullptr;
  const BstrPrefix bytes = static_cast<BstrPrefix>(length * sizeof(OLECHAR));
  std::memcpy(block, &bytes, sizeof bytes);
  BSTR chars = reinterpret_cast<BSTR>(static_cast<char*>(block) + sizeof(BstrPrefix));
  if (text) {
    std::memcpy(chars, text, length * sizeof(OLECHAR));
  } else {
    std::memset(chars, 0, length * sizeof(OLECHAR));
  }
  chars[length] = 0;
  return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  size_t length = 0;
  while (text[length]) ++length;
  if (length > kMaxBstrChars) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(length));
}

UINT SysStringByteLen(BSTR text) {
  if (!text) return 0;
  BstrPrefix bytes;
  std::memcpy(&bytes, reinterpret_cast<char*>(text) - sizeof(BstrPrefix), sizeof bytes);
  return bytes;
}

UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(OLECHAR); }

void SysFreeString(BSTR text) {
  if (text) std::free(reinterpret_cast<char*>(text) - sizeof(BstrPrefix));
}

void VariantInit(VARIANTARG* variant) {
  if (!variant) return;
  std::memset(variant, 0, sizeof *variant);
  variant->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* variant) {
  if (!variant) return E_INVALIDARG;
  // A reference (VT_BYREF) is not owned by the variant.
  switch (variant->vt) {
    case VT_BSTR:
      SysFreeString(variant->bstrVal);
      break;
    case VT_DISPATCH:
      if (variant->pdispVal) variant->pdispVal->Release();
      break;
    case VT_UNKNOWN:
      if (variant->punkVal) variant->punkVal->Release();
      break;
    default:
      break;
  }
  VariantInit(variant);
  return S_OK;
}

HRESULT CoInitializeEx(LPVOID, DWORD coInit) {
  const DWORD model = coInit & COINIT_APARTMENTTHREADED;
  if (tInitCount > 0 && model != tInitModel) return RPC_E_CHANGED_MODE;
  tInitModel = model;
  return tInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize(void) {
  if (tInitCount > 0) --tInitCount;
}

HRESULT CoRegisterClassObject(REFCLSID classId, LPUNKNOWN object, DWORD context, DWORD,
                              LPDWORD cookie) {
  if (!object || !cookie) return E_INVALIDARG;
  *cookie = 0;
  IClassFactory* factory = nullptr;
  HRESULT hr = object->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  if (!factory) return E_NOINTERFACE;
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  try {
    r.entries.push_back({classId, factory, context, r.nextCookie});
  } catch (const std::bad_alloc&) {
    factory->Release();
    return E_OUTOFMEMORY;
  }
  *cookie = r.nextCookie++;
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  IClassFactory* factory = nullptr;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (auto it = r.entries.begin(); it != r.entries.end(); ++it) {
      if (it->cookie == cookie) {
        factory = it->factory;
        r.entries.erase(it);
        break;
      }
    }
  }
  if (!factory) return E_INVALIDARG;
  factory->Release();
  return S_OK;
}

HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (tInitCount == 0) return CO_E_NOTINITIALIZED;
  IClassFactory* factory = nullptr;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (auto it = r.entries.rbegin(); it != r.entries.rend(); ++it) {
      if (it->classId == classId && (it->context & context) != 0) {
        factory = it->factory;
        factory->AddRef();
        break;
      }
    }
  }
  if (!factory) return REGDB_E_CLASSNOTREG;
  const HRESULT hr = factory->CreateInstance(outer, iid, out);
  factory->Release();
  return hr;
}

HRESULT OleRun(LPUNKNOWN object) { return object ? S_OK : E_INVALIDARG; }

}  // extern "C"
