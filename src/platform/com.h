/* The component runtime the engine relies on, with the names, signatures and
 * layouts of the Windows SDK's COM (objbase.h, oleauto.h, ole2.h): result
 * numbers, GUIDs, IUnknown, IDispatch, IClassFactory, BSTR, VARIANT,
 * per-thread initialisation, creation by class id and class registration.
 * On Windows this header is the SDK itself; elsewhere it declares the same
 * subset with the same layouts (com_layout.h checks them), so that code
 * written against it compiles on both. The declarations compile as C as well
 * (a C client sees the functions and plain types).
 *
 * The project's own C++ helpers over it (Ref<T>, Bstr, Variant, the
 * interface id of a type, the reference-counting base of implementations,
 * the module's use count, a class factory over a creation function) are in
 * src/com/, one header each.
 *
 * Thread-safety: the class registry is guarded by a lock; initialisation
 * counts are per thread. Objects say for themselves.
 * Ownership: every reference obtained through an out parameter belongs to the
 * caller, who releases it; a BSTR obtained through one is freed by the caller
 * with SysFreeString. */
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
struct IRecordInfo;
#else
typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;
typedef struct IClassFactory IClassFactory;
typedef struct ITypeInfo ITypeInfo;
typedef struct IRecordInfo IRecordInfo;
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

/* The type, three reserved words, then the value: 16 bytes on 32-bit
 * machines, 24 on 64-bit ones (the record member is two pointers wide). */
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
    struct {
      void* pvRecord;
      IRecordInfo* pRecInfo;
    };
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

#endif /* KORVA_PLATFORM_COM_H_ */
