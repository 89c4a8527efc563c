/* The event-driven XML reader the instructions reader relies on, with the
 * names, slot order and signatures of MSXML2's SAX interfaces: the reader
 * (ISAXXMLReader), created by class id, and the content and error handler
 * interfaces it calls back during a parse, in document order, on the calling
 * thread, with the attribute list and the locator. Texts are wide characters
 * with a length (not terminated). On Windows this header is the toolchain's
 * <msxml2.h>; the ids, which its uuid library lacks, are defined in
 * sax_ids.cc on every platform.
 *
 * The reader never loads an external entity or DTD, and a document that
 * expands entities beyond sane limits fails the parse.
 *
 * Thread-safety: one reader serves one parse at a time, on one thread.
 * Ownership: the reader holds references to its handlers until it is released. */
#ifndef KORVA_PLATFORM_SAX_H_
#define KORVA_PLATFORM_SAX_H_

#include "platform/com.h"

#ifdef _WIN32
#include <msxml2.h>
#else

#ifdef __cplusplus
struct ISAXXMLReader;
struct ISAXContentHandler;
struct ISAXErrorHandler;
struct ISAXAttributes;
struct ISAXLocator;
struct ISAXEntityResolver;
struct ISAXDTDHandler;
#else
typedef struct ISAXXMLReader ISAXXMLReader;
typedef struct ISAXContentHandler ISAXContentHandler;
typedef struct ISAXErrorHandler ISAXErrorHandler;
typedef struct ISAXAttributes ISAXAttributes;
typedef struct ISAXLocator ISAXLocator;
#endif

EXTERN_C const CLSID CLSID_SAXXMLReader;
EXTERN_C const IID IID_ISAXXMLReader;
EXTERN_C const IID IID_ISAXContentHandler;
EXTERN_C const IID IID_ISAXErrorHandler;
EXTERN_C const IID IID_ISAXAttributes;
EXTERN_C const IID IID_ISAXLocator;

#ifdef __cplusplus
struct ISAXLocator : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE getColumnNumber(int* column) = 0;
  virtual HRESULT STDMETHODCALLTYPE getLineNumber(int* line) = 0;
  virtual HRESULT STDMETHODCALLTYPE getPublicId(const wchar_t** publicId) = 0;
  virtual HRESULT STDMETHODCALLTYPE getSystemId(const wchar_t** systemId) = 0;
};

/* The attribute list of one start tag. getValueFromQName answers S_OK with
 * the value (not terminated), E_INVALIDARG when the element has no such
 * attribute, another failure otherwise. */
struct ISAXAttributes : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE getLength(int* length) = 0;
  virtual HRESULT STDMETHODCALLTYPE getURI(int index, const wchar_t** uri, int* uriLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE getLocalName(int index, const wchar_t** localName,
                                                 int* localNameLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE getQName(int index, const wchar_t** qName,
                                             int* qNameLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE getName(int index, const wchar_t** uri, int* uriLength,
                                            const wchar_t** localName, int* localNameLength,
                                            const wchar_t** qName, int* qNameLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE getIndexFromName(const wchar_t* uri, int uriLength,
                                                     const wchar_t* localName, int localNameLength,
                                                     int* index) = 0;
  virtual HRESULT STDMETHODCALLTYPE getIndexFromQName(const wchar_t* qName, int qNameLength,
                                                      int* index) = 0;
  virtual HRESULT STDMETHODCALLTYPE getType(int index, const wchar_t** type, int* typeLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE getTypeFromName(const wchar_t* uri, int uriLength,
                                                    const wchar_t* localName, int localNameLength,
                                                    const wchar_t** type, int* typeLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE getTypeFromQName(const wchar_t* qName, int qNameLength,
                                                     const wchar_t** type, int* typeLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE getValue(int index, const wchar_t** value,
                                             int* valueLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE getValueFromName(const wchar_t* uri, int uriLength,
                                                     const wchar_t* localName, int localNameLength,
                                                     const wchar_t** value, int* valueLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE getValueFromQName(const wchar_t* qName, int qNameLength,
                                                      const wchar_t** value, int* valueLength) = 0;
};

/* A failure answer from any callback stops the parse and fails it. */
struct ISAXContentHandler : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator* locator) = 0;
  virtual HRESULT STDMETHODCALLTYPE startDocument() = 0;
  virtual HRESULT STDMETHODCALLTYPE endDocument() = 0;
  virtual HRESULT STDMETHODCALLTYPE startPrefixMapping(const wchar_t* prefix, int prefixLength,
                                                       const wchar_t* uri, int uriLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE endPrefixMapping(const wchar_t* prefix, int prefixLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE startElement(const wchar_t* namespaceUri,
                                                 int namespaceUriLength, const wchar_t* localName,
                                                 int localNameLength, const wchar_t* qName,
                                                 int qNameLength, ISAXAttributes* attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE endElement(const wchar_t* namespaceUri, int namespaceUriLength,
                                               const wchar_t* localName, int localNameLength,
                                               const wchar_t* qName, int qNameLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE characters(const wchar_t* chars, int length) = 0;
  virtual HRESULT STDMETHODCALLTYPE ignorableWhitespace(const wchar_t* chars, int length) = 0;
  virtual HRESULT STDMETHODCALLTYPE processingInstruction(const wchar_t* target, int targetLength,
                                                          const wchar_t* data, int dataLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE skippedEntity(const wchar_t* name, int nameLength) = 0;
};

struct ISAXErrorHandler : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE error(ISAXLocator* locator, const wchar_t* message,
                                          HRESULT code) = 0;
  virtual HRESULT STDMETHODCALLTYPE fatalError(ISAXLocator* locator, const wchar_t* message,
                                               HRESULT code) = 0;
  virtual HRESULT STDMETHODCALLTYPE ignorableWarning(ISAXLocator* locator, const wchar_t* message,
                                                     HRESULT code) = 0;
};

struct ISAXXMLReader : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE getFeature(const wchar_t* name, VARIANT_BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE putFeature(const wchar_t* name, VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE getProperty(const wchar_t* name, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE putProperty(const wchar_t* name, VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE getEntityResolver(ISAXEntityResolver** resolver) = 0;
  virtual HRESULT STDMETHODCALLTYPE putEntityResolver(ISAXEntityResolver* resolver) = 0;
  virtual HRESULT STDMETHODCALLTYPE getContentHandler(ISAXContentHandler** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE putContentHandler(ISAXContentHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE getDTDHandler(ISAXDTDHandler** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE putDTDHandler(ISAXDTDHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE getErrorHandler(ISAXErrorHandler** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE putErrorHandler(ISAXErrorHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE getBaseURL(const wchar_t** baseUrl) = 0;
  virtual HRESULT STDMETHODCALLTYPE putBaseURL(const wchar_t* baseUrl) = 0;
  virtual HRESULT STDMETHODCALLTYPE getSecureBaseURL(const wchar_t** secureBaseUrl) = 0;
  virtual HRESULT STDMETHODCALLTYPE putSecureBaseURL(const wchar_t* secureBaseUrl) = 0;
  /* A document held in a VT_BSTR variant. */
  virtual HRESULT STDMETHODCALLTYPE parse(VARIANT input) = 0;
  /* The file named by a "file:///" URL; on POSIX the text after "file:///"
   * is the path, used as it stands (no unescaping). */
  virtual HRESULT STDMETHODCALLTYPE parseURL(const wchar_t* url) = 0;
};
#endif /* __cplusplus */

#endif /* _WIN32 */

#ifdef __cplusplus
#include "com/interface_id.h"

KORVA_INTERFACE_ID(ISAXXMLReader, IID_ISAXXMLReader);
KORVA_INTERFACE_ID(ISAXContentHandler, IID_ISAXContentHandler);
KORVA_INTERFACE_ID(ISAXErrorHandler, IID_ISAXErrorHandler);
KORVA_INTERFACE_ID(ISAXAttributes, IID_ISAXAttributes);
KORVA_INTERFACE_ID(ISAXLocator, IID_ISAXLocator);
#endif

#endif /* KORVA_PLATFORM_SAX_H_ */
