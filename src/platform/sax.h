// The event-driven XML reader the instructions reader relies on: a reader
// object created through the class registry, and the content and error
// handler interfaces it calls back during a parse, in document order, on the
// calling thread. Texts are wide characters with a length (not terminated).
//
// The reader never loads an external entity or DTD, and a document that
// expands entities beyond sane limits fails the parse.
//
// Thread-safety: one reader serves one parse at a time, on one thread.
// Ownership: the reader holds references to its handlers until it is released.
#ifndef KORVA_PLATFORM_SAX_H_
#define KORVA_PLATFORM_SAX_H_

#include "platform/com.h"

namespace korva {

constexpr Guid kCLSID_SAXXMLReader = {
    0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
constexpr Guid kIID_SAXXMLReader = {
    0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
constexpr Guid kIID_SAXContentHandler = {
    0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};
constexpr Guid kIID_SAXErrorHandler = {
    0xA60511C4, 0xCCF5, 0x479E, {0x98, 0xA3, 0xDC, 0x8D, 0xC5, 0x45, 0xB7, 0xD0}};

// The attribute list of one start tag.
class SaxAttributes {
 public:
  virtual int getLength() = 0;
  // S_OK with the value (not terminated; *value may be null when valueLen is
  // 0), E_INVALIDARG when the element has no such attribute, E_FAIL otherwise.
  virtual HRESULT getValueFromQName(const wchar_t* qName, int qNameLen, const wchar_t** value,
                                    int* valueLen) = 0;

 protected:
  virtual ~SaxAttributes() = default;
};

class SaxLocator {
 public:
  virtual int getLineNumber() = 0;
  virtual int getColumnNumber() = 0;

 protected:
  virtual ~SaxLocator() = default;
};

// A failure answer from any callback stops the parse and fails it.
class SaxContentHandler : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_SAXContentHandler; }
  virtual HRESULT putDocumentLocator(SaxLocator* locator) = 0;
  virtual HRESULT startDocument() = 0;
  virtual HRESULT endDocument() = 0;
  virtual HRESULT startPrefixMapping(const wchar_t* prefix, int prefixLen, const wchar_t* uri,
                                     int uriLen) = 0;
  virtual HRESULT endPrefixMapping(const wchar_t* prefix, int prefixLen) = 0;
  virtual HRESULT startElement(const wchar_t* namespaceUri, int namespaceUriLen,
                               const wchar_t* localName, int localNameLen, const wchar_t* qName,
                               int qNameLen, SaxAttributes* attributes) = 0;
  virtual HRESULT endElement(const wchar_t* namespaceUri, int namespaceUriLen,
                             const wchar_t* localName, int localNameLen, const wchar_t* qName,
                             int qNameLen) = 0;
  virtual HRESULT characters(const wchar_t* chars, int length) = 0;
  virtual HRESULT ignorableWhitespace(const wchar_t* chars, int length) = 0;
  virtual HRESULT processingInstruction(const wchar_t* target, int targetLen,
                                        const wchar_t* data, int dataLen) = 0;
  virtual HRESULT skippedEntity(const wchar_t* name, int nameLen) = 0;
};

class SaxErrorHandler : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_SAXErrorHandler; }
  virtual HRESULT error(SaxLocator* locator, const wchar_t* message, HRESULT code) = 0;
  virtual HRESULT fatalError(SaxLocator* locator, const wchar_t* message, HRESULT code) = 0;
  virtual HRESULT ignorableWarning(SaxLocator* locator, const wchar_t* message,
                                   HRESULT code) = 0;
};

class SaxReader : public virtual Unknown {
 public:
  static const Guid& iid() { return kIID_SAXXMLReader; }
  virtual HRESULT putContentHandler(SaxContentHandler* handler) = 0;
  virtual HRESULT putErrorHandler(SaxErrorHandler* handler) = 0;
  // Parses the file named by a "file:///" URL. On POSIX the text after
  // "file:///" is the path, used as it stands (no unescaping).
  virtual HRESULT parseURL(const wchar_t* url) = 0;
  // Parses a document held in a wide-string variant.
  virtual HRESULT parse(const Variant& document) = 0;
};

// Puts a freshly created object into its running state.
HRESULT oleRun(Unknown* object);

}  // namespace korva

#endif  // KORVA_PLATFORM_SAX_H_
