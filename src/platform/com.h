/* The component runtime the engine relies on, with the names, signatures and
 * layouts of the Windows SDK's COM (objbase.h, oleauto.h, ole2.h): result
 * numbers, GUIDs, IUnknown, IDispatch, IClassFactory, BSTR, VARIANT,
 * per-thread initialisation, creation by class id and class registration.
 * On Windows this header is the SDK itself; elsewhere it declares the same
 * subset, so that code written against it compiles on both. The declarations
 * compile as C as well (a C client sees the functions and plain types).
 *
 * Over it, for C++ only and in namespace korva: Ref<T> (a counted reference),
 * Bstr and Variant (owners of a BSTR and a VARIANT), the interface id of a
 * type (InterfaceId<T>), a reference-counting base for implementations and a
 * class factory over a creation function.
 *
 * Thread-safety: the class registry is guarded by a lock; initialisation
 * counts are per thread. Objects say for themselves.
 * Ownership: every reference obtained through an out parameter belongs to the
 * caller, who releases it; a BSTR obtained through one is freed by the caller
 * with SysFreeString. Ref<T>, Bstr and Variant do that on every path. */
#ifndef KORVA_PLATFORM_COM_H_
#define KORVA_PLATFORM_COM_H_

#ifdef _WIN32
#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>
#else
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
#define EXTERN_C extern "C"
#define KORVA_COM_BEGIN_C extern "C" {
#define KORVA_COM_END_C }
#else
#define EXTERN_C extern
#define KORVA_COM_BEGIN_C
#define KORVA_COM_END_C
#endif

/* Calling conventions: the Windows ones on 32-bit Windows, none here. */
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define WINAPI
#define STDAPI EXTERN_C HRESULT STDAPICALLTYPE
#define STDAPI_(type) EXTERN_C type STDAPICALLTYPE
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE

/* The Windows widths: LONG and ULONG are 32 bits, wide characters wchar_t. */
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint8_t BYTE;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int BOOL;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef float FLOAT;
typedef double DOUBLE;
typedef void* LPVOID;
typedef DWORD* LPDWORD;
typedef wchar_t WCHAR;
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef LONG HRESULT;
typedef LONG SCODE;
typedef LONG DISPID;
typedef DWORD LCID;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

/* Result numbers: negative means failure. */
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_POINTER ((HRESULT)0x80004003u)
#define E_ABORT ((HRESULT)0x80004004u)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_UNEXPECTED ((HRESULT)0x8000FFFFu)
#define E_ACCESSDENIED ((HRESULT)0x80070005u)
#define E_HANDLE ((HRESULT)0x80070006u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111u)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154u)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0u)
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106u)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005u)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008u)

/* A 128-bit class or interface id. */
typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
#ifdef __cplusplus
#define REFGUID const GUID&
#define REFIID const IID&
#define REFCLSID const CLSID&
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }
#else
#define REFGUID const GUID*
#define REFIID const IID*
#define REFCLSID const CLSID*
#define IsEqualGUID(a, b) (!memcmp((a), (b), sizeof(GUID)))
#endif
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

/* Length-prefixed wide text: the byte count (4 bytes) stands before the
 * characters, which are terminated; a null BSTR is the empty text. */
typedef OLECHAR* BSTR;

typedef SHORT VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

#ifdef __cplusplus
struct IUnknown;
struct IDispatch;
struct IClassFactory;
struct ITypeInfo;
#else
typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;
typedef struct IClassFactory IClassFactory;
typedef struct ITypeInfo ITypeInfo;
#endif
typedef IUnknown* LPUNKNOWN;

typedef unsigned short VARTYPE;
enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_UNKNOWN = 13,
  VT_BYREF = 0x4000
};

typedef struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    FLOAT fltVal;
    DOUBLE dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    void* byref;
  };
} VARIANT;
typedef VARIANT VARIANTARG;

typedef struct tagDISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
} DISPPARAMS;

typedef struct tagEXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(struct tagEXCEPINFO*);
  SCODE scode;
} EXCEPINFO;

/* Threading models of CoInitializeEx. */
typedef enum tagCOINIT {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

/* Where a class may run; the in-process registry serves the in-process
 * contexts. */
typedef enum tagCLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL \
  (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

typedef enum tagREGCLS {
  REGCLS_SINGLEUSE = 0,
  REGCLS_MULTIPLEUSE = 1,
  REGCLS_MULTI_SEPARATE = 2
} REGCLS;

KORVA_COM_BEGIN_C

EXTERN_C const IID IID_IUnknown;
EXTERN_C const IID IID_IDispatch;
EXTERN_C const IID IID_IClassFactory;

BSTR STDAPICALLTYPE SysAllocString(const OLECHAR* text);
BSTR STDAPICALLTYPE SysAllocStringLen(const OLECHAR* text, UINT length);
UINT STDAPICALLTYPE SysStringLen(BSTR text);
UINT STDAPICALLTYPE SysStringByteLen(BSTR text);
void STDAPICALLTYPE SysFreeString(BSTR text);

void STDAPICALLTYPE VariantInit(VARIANTARG* variant);
HRESULT STDAPICALLTYPE VariantClear(VARIANTARG* variant);

/* The first call on a thread answers S_OK, later ones S_FALSE (each must be
 * matched by CoUninitialize); another threading model than the thread's
 * first answers RPC_E_CHANGED_MODE and counts nothing. */
HRESULT STDAPICALLTYPE CoInitializeEx(LPVOID reserved, DWORD coInit);
void STDAPICALLTYPE CoUninitialize(void);

/* CO_E_NOTINITIALIZED on a thread that is not initialised,
 * REGDB_E_CLASSNOTREG for a class registered for none of the contexts, else
 * the answer of the registered factory's CreateInstance. */
HRESULT STDAPICALLTYPE CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context,
                                        REFIID iid, LPVOID* out);
/* Enters a class factory (the object must answer IClassFactory); *cookie
 * receives the number that revokes it. The latest registration of a class
 * serves. */
HRESULT STDAPICALLTYPE CoRegisterClassObject(REFCLSID classId, LPUNKNOWN factory, DWORD context,
                                             DWORD flags, LPDWORD cookie);
HRESULT STDAPICALLTYPE CoRevokeClassObject(DWORD cookie);

/* Puts a freshly created object into its running state. */
HRESULT STDAPICALLTYPE OleRun(LPUNKNOWN object);

KORVA_COM_END_C

#ifdef __cplusplus
/* Every interface derives from IUnknown; no virtual bases, no destructor in
 * the table: slot 0 QueryInterface, 1 AddRef, 2 Release. */
struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

/* Slots 3 to 6. */
struct IDispatch : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                                  LCID locale, DISPID* ids) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags,
                                           DISPPARAMS* parameters, VARIANT* result,
                                           EXCEPINFO* exception, UINT* argumentError) = 0;
};

/* Slots 3 and 4. */
struct IClassFactory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) = 0;
};
#else
typedef struct IUnknownVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IUnknown* self, REFIID iid, void** out);
  ULONG(STDMETHODCALLTYPE* AddRef)(IUnknown* self);
  ULONG(STDMETHODCALLTYPE* Release)(IUnknown* self);
} IUnknownVtbl;
struct IUnknown {
  const IUnknownVtbl* lpVtbl;
};
#endif

#endif /* _WIN32 */

#ifdef __cplusplus
#include <atomic>
#include <string>
#include <utility>

namespace korva {

// The interface id of an interface type, for Ref<T>::query and
// createInstance: specialised for each interface whose id is published.
// An interface without a specialisation cannot be asked for by id.
template <typename T>
struct InterfaceId;

#define KORVA_INTERFACE_ID(Type, iid)       \
  template <>                               \
  struct korva::InterfaceId<Type> {         \
    static const IID& get() { return iid; } \
  }

// Counted reference: adds a reference when it copies, releases when it lets go.
template <typename T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}  // NOLINT
  // Takes an added reference to p (p may be null).
  explicit Ref(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  template <typename U>
  Ref(const Ref<U>& o) : p_(o.get()) {  // NOLINT: upcast
    if (p_) p_->AddRef();
  }
  ~Ref() { reset(); }

  Ref& operator=(const Ref& o) {
    Ref copy(o);
    swap(copy);
    return *this;
  }
  Ref& operator=(Ref&& o) noexcept {
    Ref moved(std::move(o));
    swap(moved);
    return *this;
  }

  // Adopts a reference the caller already owns.
  static Ref adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  // Releases what is held and answers the slot for an out parameter.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  // Empties the holder first, then releases: a release that reaches back
  // into the holder finds it empty.
  void reset() {
    T* p = p_;
    p_ = nullptr;
    if (p) p->Release();
  }
  T* detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  void swap(Ref& o) noexcept { std::swap(p_, o.p_); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Asks the object for interface U by its id; answers QueryInterface's result.
  template <typename U>
  HRESULT query(Ref<U>* out) const {
    out->reset();
    if (!p_) return E_POINTER;
    return p_->QueryInterface(InterfaceId<U>::get(), out->putVoid());
  }

 private:
  T* p_ = nullptr;
};

// Creates an object of the class and asks it for interface T.
template <typename T>
HRESULT createInstance(REFCLSID classId, DWORD context, Ref<T>* out) {
  return CoCreateInstance(classId, nullptr, context, InterfaceId<T>::get(), out->putVoid());
}

// Owner of a BSTR: frees it with SysFreeString.
class Bstr {
 public:
  Bstr() = default;
  // A copy of the terminated text (null gives a null BSTR, the empty text).
  explicit Bstr(const OLECHAR* text) : b_(text ? SysAllocString(text) : nullptr) {}
  Bstr(const OLECHAR* text, size_t length)
      : b_(SysAllocStringLen(text, static_cast<UINT>(length))) {}
  explicit Bstr(const std::wstring& text) : Bstr(text.data(), text.size()) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : b_(o.b_) { o.b_ = nullptr; }
  Bstr& operator=(Bstr&& o) noexcept {
    std::swap(b_, o.b_);
    return *this;
  }
  ~Bstr() { SysFreeString(b_); }

  // Frees what is held and answers the slot for an out parameter.
  BSTR* put() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  BSTR get() const { return b_; }
  // For an argument: the callee reads it, the owner keeps it.
  operator BSTR() const { return b_; }  // NOLINT
  UINT length() const { return SysStringLen(b_); }
  std::wstring str() const { return b_ ? std::wstring(b_, length()) : std::wstring(); }
  BSTR detach() {
    BSTR b = b_;
    b_ = nullptr;
    return b;
  }

 private:
  BSTR b_ = nullptr;
};

// Owner of a VARIANT: cleared (its text freed, its object released) at the end.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
  ~Variant() { VariantClear(&v_); }

  static Variant fromInt(LONG value) {
    Variant r;
    r.v_.vt = VT_I4;
    r.v_.lVal = value;
    return r;
  }
  static Variant fromBool(bool value) {
    Variant r;
    r.v_.vt = VT_BOOL;
    r.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
  }
  // VT_BSTR; the variant stays empty when the text cannot be allocated.
  static Variant fromString(const std::wstring& text) {
    Variant r;
    r.v_.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (r.v_.bstrVal) r.v_.vt = VT_BSTR;
    return r;
  }
  // VT_DISPATCH holding an added reference (null stays a null dispatch).
  static Variant fromObject(IDispatch* object) {
    Variant r;
    r.v_.vt = VT_DISPATCH;
    r.v_.pdispVal = object;
    if (object) object->AddRef();
    return r;
  }

  const VARIANT& get() const { return v_; }
  // For an argument passed by value: the callee reads it, the owner keeps it.
  operator VARIANT() const { return v_; }  // NOLINT

 private:
  VARIANT v_;
};

// What keeps this module (the program or library the code is linked into)
// in use: its live objects and the locks its class factories were asked
// for. A library that is a COM server of its own may be unloaded only when
// both are 0. Each module has its own counts.
inline std::atomic<long>& moduleUseCount() {
  static std::atomic<long> count{0};
  return count;
}

// A reference-counting base for implementations: derive from it and from the
// interfaces, answer them in QueryInterface and define AddRef and Release
// with KORVA_REFCOUNTED_UNKNOWN. The count starts at 0; the first Ref takes
// the first reference. Every live object counts as a use of its module.
template <typename Derived>
class RefCountedObject {
 protected:
  RefCountedObject() { ++moduleUseCount(); }
  RefCountedObject(const RefCountedObject&) : RefCountedObject() {}
  RefCountedObject& operator=(const RefCountedObject&) { return *this; }
  ULONG addRefImpl() { return ++count_; }
  ULONG releaseImpl() {
    ULONG left = --count_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }
  virtual ~RefCountedObject() { --moduleUseCount(); }

 private:
  std::atomic<ULONG> count_{0};
};

// A process-wide class factory that hands CreateInstance on to a creation
// function; it is never freed, and its locks count as uses of its module.
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

// The calling thread's initialisation count (0: not initialised), for tests.
int comInitializeCount();

}  // namespace korva

KORVA_INTERFACE_ID(IUnknown, IID_IUnknown);
KORVA_INTERFACE_ID(IDispatch, IID_IDispatch);
KORVA_INTERFACE_ID(IClassFactory, IID_IClassFactory);

// AddRef and Release over RefCountedObject, for a class deriving from both.
#define KORVA_REFCOUNTED_UNKNOWN                                           \
  ULONG STDMETHODCALLTYPE AddRef() override { return this->addRefImpl(); } \
  ULONG STDMETHODCALLTYPE Release() override { return this->releaseImpl(); }

#endif /* __cplusplus */

#endif /* KORVA_PLATFORM_COM_H_ */
