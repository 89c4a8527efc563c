/* The C content handler and reader client: tables of function pointers laid
 * out by MSXML2's slot numbers alone (0-2 IUnknown, then the interface's own
 * operations in their published order), with the ids written out here. It
 * shares nothing with the C++ declarations, so it proves their layout. */
#include "platform/c_sax_handler.h"

#include <string.h>
#include <wchar.h>

typedef HRESULT(STDMETHODCALLTYPE* Unused)(void);

typedef struct CAttributes CAttributes;
typedef struct CReader CReader;
typedef struct CHandler CHandler;

typedef struct {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(CAttributes* self, REFIID iid, void** out);
  ULONG(STDMETHODCALLTYPE* AddRef)(CAttributes* self);
  ULONG(STDMETHODCALLTYPE* Release)(CAttributes* self);
  Unused slots3to14[12]; /* getLength ... getValueFromName */
  HRESULT(STDMETHODCALLTYPE* getValueFromQName)
  (CAttributes* self, const wchar_t* qName, int qNameLength, const wchar_t** value,
   int* valueLength); /* 15 */
} CAttributesTable;
struct CAttributes {
  const CAttributesTable* table;
};

typedef struct {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(CReader* self, REFIID iid, void** out);
  ULONG(STDMETHODCALLTYPE* AddRef)(CReader* self);
  ULONG(STDMETHODCALLTYPE* Release)(CReader* self);
  Unused slots3to9[7]; /* getFeature ... getContentHandler */
  HRESULT(STDMETHODCALLTYPE* putContentHandler)(CReader* self, CHandler* handler); /* 10 */
  Unused slots11to19[9]; /* getDTDHandler ... parse */
  HRESULT(STDMETHODCALLTYPE* parseURL)(CReader* self, const wchar_t* url); /* 20 */
} CReaderTable;
struct CReader {
  const CReaderTable* table;
};

/* The content handler: slots 3-13 in the published order. */
typedef struct {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(CHandler* self, REFIID iid, void** out);
  ULONG(STDMETHODCALLTYPE* AddRef)(CHandler* self);
  ULONG(STDMETHODCALLTYPE* Release)(CHandler* self);
  HRESULT(STDMETHODCALLTYPE* putDocumentLocator)(CHandler* self, void* locator);
  HRESULT(STDMETHODCALLTYPE* startDocument)(CHandler* self);
  HRESULT(STDMETHODCALLTYPE* endDocument)(CHandler* self);
  HRESULT(STDMETHODCALLTYPE* startPrefixMapping)
  (CHandler* self, const wchar_t* prefix, int prefixLength, const wchar_t* uri, int uriLength);
  HRESULT(STDMETHODCALLTYPE* endPrefixMapping)
  (CHandler* self, const wchar_t* prefix, int prefixLength);
  HRESULT(STDMETHODCALLTYPE* startElement)
  (CHandler* self, const wchar_t* uri, int uriLength, const wchar_t* localName, int localNameLength,
   const wchar_t* qName, int qNameLength, CAttributes* attributes);
  HRESULT(STDMETHODCALLTYPE* endElement)
  (CHandler* self, const wchar_t* uri, int uriLength, const wchar_t* localName, int localNameLength,
   const wchar_t* qName, int qNameLength);
  HRESULT(STDMETHODCALLTYPE* characters)(CHandler* self, const wchar_t* chars, int length);
  HRESULT(STDMETHODCALLTYPE* ignorableWhitespace)(CHandler* self, const wchar_t* chars, int length);
  HRESULT(STDMETHODCALLTYPE* processingInstruction)
  (CHandler* self, const wchar_t* target, int targetLength, const wchar_t* data, int dataLength);
  HRESULT(STDMETHODCALLTYPE* skippedEntity)(CHandler* self, const wchar_t* name, int length);
} CHandlerTable;
struct CHandler {
  const CHandlerTable* table; /* first, as in every COM object */
  CSaxResult* result;
  const wchar_t* attribute;
};

static const CLSID kReaderClass = {
    0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
static const IID kUnknownInterface = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID kReaderInterface = {
    0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
static const IID kContentHandlerInterface = {
    0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};

static void copyText(wchar_t* to, const wchar_t* from, int length) {
  if (!from || length < 0) length = 0;
  if (length >= kCSaxMaxText) length = kCSaxMaxText - 1;
  if (length > 0) memcpy(to, from, (size_t)length * sizeof(wchar_t));
  to[length] = 0;
}

static HRESULT STDMETHODCALLTYPE handlerQuery(CHandler* self, REFIID iid, void** out) {
  if (IsEqualGUID(iid, &kUnknownInterface) || IsEqualGUID(iid, &kContentHandlerInterface)) {
    *out = self;
    return S_OK;
  }
  *out = NULL;
  return E_NOINTERFACE;
}
static ULONG STDMETHODCALLTYPE handlerCount(CHandler* self) {
  (void)self;
  return 1;
}
static HRESULT STDMETHODCALLTYPE onLocator(CHandler* self, void* locator) {
  (void)self;
  (void)locator;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE onDocument(CHandler* self) {
  (void)self;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE onStartPrefix(CHandler* self, const wchar_t* p, int pl,
                                               const wchar_t* u, int ul) {
  (void)self, (void)p, (void)pl, (void)u, (void)ul;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE onEndPrefix(CHandler* self, const wchar_t* p, int pl) {
  (void)self, (void)p, (void)pl;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE onStartElement(CHandler* self, const wchar_t* uri, int uriLength,
                                                const wchar_t* localName, int localNameLength,
                                                const wchar_t* qName, int qNameLength,
                                                CAttributes* attributes) {
  CSaxResult* r = self->result;
  const wchar_t* value = NULL;
  int valueLength = 0;
  (void)uri, (void)uriLength, (void)localName, (void)localNameLength;
  if (r->elements >= kCSaxMaxElements) return E_FAIL;
  copyText(r->names[r->elements], qName, qNameLength);
  r->lookups[r->elements] = attributes->table->getValueFromQName(
      attributes, self->attribute, (int)wcslen(self->attribute), &value, &valueLength);
  if (SUCCEEDED(r->lookups[r->elements])) copyText(r->values[r->elements], value, valueLength);
  ++r->elements;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE onEndElement(CHandler* self, const wchar_t* u, int ul,
                                              const wchar_t* l, int ll, const wchar_t* q, int ql) {
  (void)self, (void)u, (void)ul, (void)l, (void)ll, (void)q, (void)ql;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE onText(CHandler* self, const wchar_t* chars, int length) {
  (void)self, (void)chars, (void)length;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE onInstruction(CHandler* self, const wchar_t* t, int tl,
                                               const wchar_t* d, int dl) {
  (void)self, (void)t, (void)tl, (void)d, (void)dl;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE onSkipped(CHandler* self, const wchar_t* name, int length) {
  (void)self, (void)name, (void)length;
  return S_OK;
}

static const CHandlerTable kHandlerTable = {
    handlerQuery, handlerCount,   handlerCount, onLocator, onDocument, onDocument,    onStartPrefix,
    onEndPrefix,  onStartElement, onEndElement, onText,    onText,     onInstruction, onSkipped};

void runCSaxHandler(const wchar_t* url, const wchar_t* attribute, CSaxResult* r) {
  IUnknown* object = NULL;
  CReader* reader = NULL;
  CHandler handler;

  memset(r, 0, sizeof *r);
  r->create = r->run = r->reader = r->handler = r->parse = E_ABORT;
  handler.table = &kHandlerTable;
  handler.result = r;
  handler.attribute = attribute;

  r->create = CoCreateInstance(&kReaderClass, NULL, 0x17, &kUnknownInterface, (void**)&object);
  if (FAILED(r->create)) return;
  r->run = OleRun(object);
  if (SUCCEEDED(r->run)) {
    r->reader = object->lpVtbl->QueryInterface(object, &kReaderInterface, (void**)&reader);
  }
  object->lpVtbl->Release(object); /* whatever the answer */
  if (!reader) return;
  r->handler = reader->table->putContentHandler(reader, &handler);
  if (SUCCEEDED(r->handler)) r->parse = reader->table->parseURL(reader, url);
  reader->table->Release(reader);
}
