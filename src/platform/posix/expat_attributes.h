// The attribute list and the locator the expat reader hands to its content
// handler. Without namespace processing an attribute's local name is its
// qualified name and its namespace URI is empty; every value is of type
// "CDATA".
//
// Thread-safety: used by the one thread of a parse.
// Ownership: both belong to the parse and live as long as it; AddRef and
// Release count nothing. A handler must not keep them past the callback (the
// attribute list answers E_FAIL outside its startElement call).
#ifndef KORVA_PLATFORM_POSIX_EXPAT_ATTRIBUTES_H_
#define KORVA_PLATFORM_POSIX_EXPAT_ATTRIBUTES_H_

#include <expat.h>

#include <string>
#include <vector>

#include "platform/com.h"
#include "platform/sax.h"

namespace korva {
namespace posix {

// Position in the document; 0/0 before the parser exists.
class ExpatLocator final : public ISAXLocator {
 public:
  void attach(XML_Parser parser) { parser_ = parser; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE getColumnNumber(int* column) override;
  HRESULT STDMETHODCALLTYPE getLineNumber(int* line) override;
  // Neither id is known: both answer the empty text.
  HRESULT STDMETHODCALLTYPE getPublicId(const wchar_t** publicId) override;
  HRESULT STDMETHODCALLTYPE getSystemId(const wchar_t** systemId) override;

 private:
  XML_Parser parser_ = nullptr;
};

// The attributes of the start tag being reported. Entries are reused from
// tag to tag, so a long document does not allocate per element. Lookups by
// name answer E_INVALIDARG for a name the tag does not have, reads by index
// E_INVALIDARG for an index outside the list.
class ExpatAttributes final : public ISAXAttributes {
 public:
  // Decodes expat's name/value pairs; false when a text is not valid UTF-8.
  bool assign(const XML_Char** pairs);
  void deactivate() { active_ = false; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE getLength(int* length) override;
  HRESULT STDMETHODCALLTYPE getURI(int index, const wchar_t** uri, int* uriLength) override;
  HRESULT STDMETHODCALLTYPE getLocalName(int index, const wchar_t** localName,
                                         int* localNameLength) override;
  HRESULT STDMETHODCALLTYPE getQName(int index, const wchar_t** qName, int* qNameLength) override;
  HRESULT STDMETHODCALLTYPE getName(int index, const wchar_t** uri, int* uriLength,
                                    const wchar_t** localName, int* localNameLength,
                                    const wchar_t** qName, int* qNameLength) override;
  HRESULT STDMETHODCALLTYPE getIndexFromName(const wchar_t* uri, int uriLength,
                                             const wchar_t* localName, int localNameLength,
                                             int* index) override;
  HRESULT STDMETHODCALLTYPE getIndexFromQName(const wchar_t* qName, int qNameLength,
                                              int* index) override;
  HRESULT STDMETHODCALLTYPE getType(int index, const wchar_t** type, int* typeLength) override;
  HRESULT STDMETHODCALLTYPE getTypeFromName(const wchar_t* uri, int uriLength,
                                            const wchar_t* localName, int localNameLength,
                                            const wchar_t** type, int* typeLength) override;
  HRESULT STDMETHODCALLTYPE getTypeFromQName(const wchar_t* qName, int qNameLength,
                                             const wchar_t** type, int* typeLength) override;
  HRESULT STDMETHODCALLTYPE getValue(int index, const wchar_t** value, int* valueLength) override;
  HRESULT STDMETHODCALLTYPE getValueFromName(const wchar_t* uri, int uriLength,
                                             const wchar_t* localName, int localNameLength,
                                             const wchar_t** value, int* valueLength) override;
  HRESULT STDMETHODCALLTYPE getValueFromQName(const wchar_t* qName, int qNameLength,
                                              const wchar_t** value, int* valueLength) override;

 private:
  struct Entry {
    std::wstring name;
    std::wstring value;
  };
  // S_OK with *index of the entry named so; E_INVALIDARG when there is none.
  HRESULT find(const wchar_t* qName, int qNameLength, int* index) const;
  // The same by namespace URI (always empty here) and local name.
  HRESULT findByName(const wchar_t* uri, int uriLength, const wchar_t* localName,
                     int localNameLength, int* index) const;
  // E_FAIL outside the callback, E_INVALIDARG for an index outside the list.
  HRESULT check(int index) const;
  // After a lookup: its failure, or what read answers for the entry found.
  using Read = HRESULT (STDMETHODCALLTYPE ExpatAttributes::*)(int, const wchar_t**, int*);
  HRESULT readFound(HRESULT found, const int* index, Read read, const wchar_t** out,
                    int* outLength);

  std::vector<Entry> entries_;
  size_t count_ = 0;
  bool active_ = false;
};

}  // namespace posix
}  // namespace korva

#endif  // KORVA_PLATFORM_POSIX_EXPAT_ATTRIBUTES_H_
