// CMAHandlerBase: a generic handler for the event-driven XML reader. It answers
// every content and error callback with success and does nothing, and offers
// the two parse operations and the attribute reading that concrete handlers
// (CMAHandlerPublish) build on. The reader's own description of an XML error
// is never reported: a malformed document shows only as a failed parse.
//
// Thread-safety: one handler serves one parse at a time, on the calling thread.
// Layout: the first base is ISAXContentHandler, the second ISAXErrorHandler;
// the first base's table continues with the destructor, readAttribute,
// parseText and parseFile, in that order.
//
// Ownership: the owner controls the handler's lifetime. AddRef/Release count
// nothing, so the reader, which holds the handler only during a parse, never
// frees it. The reader object lives only inside parseFile/parseText, held by
// a korva::Ref and released on every path.
#ifndef KORVA_INSTRUCTIONS_HANDLER_BASE_H_
#define KORVA_INSTRUCTIONS_HANDLER_BASE_H_

#include "com/ref.h"
#include "platform/com.h"
#include "platform/sax.h"
#include "support/sstring.h"

class CMAHandlerBase : public ISAXContentHandler, public ISAXErrorHandler {
 public:
  CMAHandlerBase() = default;
  CMAHandlerBase(const CMAHandlerBase&) = delete;
  CMAHandlerBase& operator=(const CMAHandlerBase&) = delete;

  // Identity: both answer 0 and change nothing.
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // Answers the content handler, the error handler and IUnknown (without
  // counting); E_POINTER for a null out, E_NOINTERFACE with *out null otherwise.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

  // Content callbacks: S_OK, nothing else.
  HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator* locator) override;
  HRESULT STDMETHODCALLTYPE startDocument() override;
  HRESULT STDMETHODCALLTYPE endDocument() override;
  HRESULT STDMETHODCALLTYPE startPrefixMapping(const wchar_t* prefix, int prefixLen,
                                               const wchar_t* uri, int uriLen) override;
  HRESULT STDMETHODCALLTYPE endPrefixMapping(const wchar_t* prefix, int prefixLen) override;
  HRESULT STDMETHODCALLTYPE startElement(const wchar_t* namespaceUri, int namespaceUriLen,
                                         const wchar_t* localName, int localNameLen,
                                         const wchar_t* qName, int qNameLen,
                                         ISAXAttributes* attributes) override;
  HRESULT STDMETHODCALLTYPE endElement(const wchar_t* namespaceUri, int namespaceUriLen,
                                       const wchar_t* localName, int localNameLen,
                                       const wchar_t* qName, int qNameLen) override;
  HRESULT STDMETHODCALLTYPE characters(const wchar_t* chars, int length) override;
  HRESULT STDMETHODCALLTYPE ignorableWhitespace(const wchar_t* chars, int length) override;
  HRESULT STDMETHODCALLTYPE processingInstruction(const wchar_t* target, int targetLen,
                                                  const wchar_t* data, int dataLen) override;
  HRESULT STDMETHODCALLTYPE skippedEntity(const wchar_t* name, int nameLen) override;

  // Error callbacks: S_OK, nothing logged.
  HRESULT STDMETHODCALLTYPE error(ISAXLocator* locator, const wchar_t* message,
                                  HRESULT code) override;
  HRESULT STDMETHODCALLTYPE fatalError(ISAXLocator* locator, const wchar_t* message,
                                       HRESULT code) override;
  HRESULT STDMETHODCALLTYPE ignorableWarning(ISAXLocator* locator, const wchar_t* message,
                                             HRESULT code) override;

  virtual ~CMAHandlerBase();

  // Reads the attribute `name` (matched by qualified name) of the current
  // element into *out, converted to the process's multibyte encoding; an
  // absent or empty attribute gives defaultValue (null counts as ""). Status
  // 200; 203 when the name or value cannot be converted (or memory ran out);
  // 204 when the lookup fails. A failure writes the "reading the attribute"
  // line.
  virtual int readAttribute(ISAXAttributes* attributes, const char* name, const char* defaultValue,
                            SAnsiString* out);

  // Parses a whole document held in memory (null counts as empty). Status
  // 200; 204 when the reader cannot be set up; 1031 when the parse fails;
  // 203 on an exception. A failure writes "Error occurred while parsing XML.".
  virtual int parseText(const wchar_t* text);

  // Parses the file at `path`, given to the reader as "file:///" + path. The
  // URL is formed in a 512-byte buffer; a path too long for it is refused
  // with 1031, as a file that cannot be parsed; a path that cannot be
  // converted to wide text with 203. Status 200; 204 when the reader cannot
  // be set up; 1031 when the parse fails (file missing or unreadable, path
  // too long, not well-formed, a callback failed). A failure
  // writes the "parsing the XML file" line with the path.
  virtual int parseFile(const char* path);

  // Size of the URL buffer, terminator included.
  static constexpr int kUrlBufferSize = 512;

 private:
  // Creates the reader, puts it running and registers this handler; 200 or 204.
  int createReader(korva::Ref<ISAXXMLReader>* reader);
};

#endif  // KORVA_INSTRUCTIONS_HANDLER_BASE_H_
