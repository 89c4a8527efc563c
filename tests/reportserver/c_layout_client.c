/* The C client: one table of function pointers per interface, laid out by
 * slot number alone (0-2 IUnknown, 3-6 IDispatch, then the interface's own
 * operations, unused slots as plain entries), with the class and interface
 * ids written out here. It shares nothing with the C++ declarations of the
 * interfaces, so it proves their binary layout. */
#include "reportserver/c_layout_client.h"

#include <string.h>

typedef HRESULT(STDMETHODCALLTYPE* Unused)(void);

#define KORVA_C_UNKNOWN(Self)                                                      \
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(Self * self, REFIID iid, void** out); \
  ULONG(STDMETHODCALLTYPE* AddRef)(Self * self);                                   \
  ULONG(STDMETHODCALLTYPE* Release)(Self * self);                                  \
  Unused dispatch[4] /* slots 3-6 */

typedef struct CSessionManager CSessionManager;
typedef struct CSession CSession;
typedef struct CInfoStore CInfoStore;
typedef struct CInfoObjects CInfoObjects;
typedef struct CInfoObject CInfoObject;

typedef struct {
  KORVA_C_UNKNOWN(CSessionManager);
  HRESULT(STDMETHODCALLTYPE* logon)
  (CSessionManager* self, BSTR user, BSTR password, BSTR aps, BSTR authentication,
   CSession** session); /* 7 */
} CSessionManagerTable;
struct CSessionManager {
  const CSessionManagerTable* table;
};

typedef struct {
  KORVA_C_UNKNOWN(CSession);
  Unused slots7to16[10];
  HRESULT(STDMETHODCALLTYPE* getService)
  (CSession* self, BSTR server, BSTR service, IUnknown** object); /* 17 */
} CSessionTable;
struct CSession {
  const CSessionTable* table;
};

typedef struct {
  KORVA_C_UNKNOWN(CInfoStore);
  HRESULT(STDMETHODCALLTYPE* query)(CInfoStore* self, BSTR text, CInfoObjects** objects); /* 7 */
} CInfoStoreTable;
struct CInfoStore {
  const CInfoStoreTable* table;
};

typedef struct {
  KORVA_C_UNKNOWN(CInfoObjects);
  Unused slots7to10[4];
  HRESULT(STDMETHODCALLTYPE* count)(CInfoObjects* self, LONG* count); /* 11 */
  HRESULT(STDMETHODCALLTYPE* item)
  (CInfoObjects* self, VARIANT position, CInfoObject** item); /* 12 */
} CInfoObjectsTable;
struct CInfoObjects {
  const CInfoObjectsTable* table;
};

typedef struct {
  KORVA_C_UNKNOWN(CInfoObject);
  Unused slots7to9[3];
  HRESULT(STDMETHODCALLTYPE* id)(CInfoObject* self, LONG* id); /* 10 */
  Unused slot11;
  HRESULT(STDMETHODCALLTYPE* title)(CInfoObject* self, BSTR* title); /* 12 */
} CInfoObjectTable;
struct CInfoObject {
  const CInfoObjectTable* table;
};

static const CLSID kSessionManagerClass = {
    0x07C125F2, 0x0E5A, 0x11D3, {0xB3, 0x39, 0x00, 0xA0, 0xC9, 0xB0, 0x4E, 0x87}};
static const IID kSessionManagerInterface = {
    0x6A8F19D1, 0x01C2, 0x11D3, {0xB3, 0x33, 0x00, 0xA0, 0xC9, 0xB0, 0x4E, 0x87}};
static const IID kInfoStoreInterface = {
    0x5692DA96, 0xCAC4, 0x11D2, {0x90, 0x2B, 0x00, 0xA0, 0xC9, 0xDA, 0xC8, 0xC2}};

#define RELEASE(p)                 \
  do {                             \
    if (p) (p)->table->Release(p); \
  } while (0)

void runCClient(const wchar_t* user, const wchar_t* password, const wchar_t* aps,
                const wchar_t* query, CClientResult* r) {
  CSessionManager* manager = NULL;
  CSession* session = NULL;
  IUnknown* service = NULL;
  CInfoStore* store = NULL;
  CInfoObjects* objects = NULL;
  CInfoObject* item = NULL;
  BSTR texts[6];
  BSTR title = NULL;
  VARIANT position;
  int i;

  memset(r, 0, sizeof *r);
  r->create = r->logon = r->service = r->infoStore = r->query = r->count = r->item = r->title =
      r->id = E_ABORT;
  texts[0] = SysAllocString(user);
  texts[1] = SysAllocString(password);
  texts[2] = SysAllocString(aps);
  texts[3] = SysAllocString(L"secEnterprise");
  texts[4] = SysAllocString(L"");
  texts[5] = SysAllocString(L"InfoStore");

  r->create = CoCreateInstance(&kSessionManagerClass, NULL, CLSCTX_SERVER,
                               &kSessionManagerInterface, (void**)&manager);
  if (FAILED(r->create)) goto done;
  r->logon = manager->table->logon(manager, texts[0], texts[1], texts[2], texts[3], &session);
  if (FAILED(r->logon)) goto done;
  r->service = session->table->getService(session, texts[4], texts[5], &service);
  if (FAILED(r->service)) goto done;
  r->infoStore = service->lpVtbl->QueryInterface(service, &kInfoStoreInterface, (void**)&store);
  if (FAILED(r->infoStore)) goto done;
  {
    BSTR text = SysAllocString(query);
    r->query = store->table->query(store, text, &objects);
    SysFreeString(text);
  }
  if (FAILED(r->query)) goto done;
  r->count = objects->table->count(objects, &r->itemCount);
  if (FAILED(r->count)) goto done;
  VariantInit(&position);
  position.vt = VT_I4;
  position.lVal = 1;
  r->item = objects->table->item(objects, position, &item);
  if (FAILED(r->item)) goto done;
  r->title = item->table->title(item, &title);
  if (FAILED(r->title)) goto done;
  if (title) {
    UINT n = SysStringLen(title);
    if (n >= sizeof r->firstTitle / sizeof r->firstTitle[0]) {
      n = sizeof r->firstTitle / sizeof r->firstTitle[0] - 1;
    }
    memcpy(r->firstTitle, title, n * sizeof(wchar_t));
    r->firstTitle[n] = 0;
  }
  r->id = item->table->id(item, &r->firstId);

done:
  SysFreeString(title);
  RELEASE(item);
  RELEASE(objects);
  RELEASE(store);
  if (service) service->lpVtbl->Release(service);
  RELEASE(session);
  RELEASE(manager);
  for (i = 0; i < 6; ++i) SysFreeString(texts[i]);
}
