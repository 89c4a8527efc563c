// The expat reader's attribute list and locator.
#include "platform/posix/expat_attributes.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include "com/interface_id.h"
#include "platform/posix/utf8_wide.h"

namespace korva {
namespace posix {
namespace {

const wchar_t kEmpty[] = L"";
const wchar_t kCdata[] = L"CDATA";

// Hands out a text of the list (or a constant) with its length.
HRESULT answerText(const wchar_t* text, size_t length, const wchar_t** out, int* outLength) {
  if (!out || !outLength) return E_POINTER;
  if (length > static_cast<size_t>(INT_MAX)) return E_FAIL;
  *out = text;
  *outLength = static_cast<int>(length);
  return S_OK;
}

// Answers the object itself for IUnknown and its own interface.
template <typename I>
HRESULT answerSelf(I* self, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == korva::InterfaceId<I>::get()) {
    *out = self;
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

}  // namespace

HRESULT ExpatLocator::QueryInterface(REFIID iid, void** out) {
  return answerSelf<ISAXLocator>(this, iid, out);
}

HRESULT ExpatLocator::getColumnNumber(int* column) {
  if (!column) return E_POINTER;
  // Expat counts columns from 0, readers of a locator from 1.
  *column = parser_ ? static_cast<int>(XML_GetCurrentColumnNumber(parser_)) + 1 : 0;
  return S_OK;
}

HRESULT ExpatLocator::getLineNumber(int* line) {
  if (!line) return E_POINTER;
  *line = parser_ ? static_cast<int>(XML_GetCurrentLineNumber(parser_)) : 0;
  return S_OK;
}

HRESULT ExpatLocator::getPublicId(const wchar_t** publicId) {
  if (!publicId) return E_POINTER;
  *publicId = kEmpty;
  return S_OK;
}

HRESULT ExpatLocator::getSystemId(const wchar_t** systemId) {
  if (!systemId) return E_POINTER;
  *systemId = kEmpty;
  return S_OK;
}

bool ExpatAttributes::assign(const XML_Char** pairs) {
  count_ = 0;
  active_ = true;
  for (const XML_Char** p = pairs; p && *p; p += 2) {
    if (count_ == entries_.size()) entries_.emplace_back();
    Entry& entry = entries_[count_++];
    entry.name.clear();
    entry.value.clear();
    if (!appendUtf8AsWide(p[0], std::strlen(p[0]), &entry.name) ||
        !appendUtf8AsWide(p[1], std::strlen(p[1]), &entry.value)) {
      return false;
    }
  }
  return true;
}

HRESULT ExpatAttributes::QueryInterface(REFIID iid, void** out) {
  return answerSelf<ISAXAttributes>(this, iid, out);
}

HRESULT ExpatAttributes::check(int index) const {
  if (!active_) return E_FAIL;
  if (index < 0 || static_cast<size_t>(index) >= count_) return E_INVALIDARG;
  return S_OK;
}

HRESULT ExpatAttributes::find(const wchar_t* qName, int qNameLength, int* index) const {
  if (!active_) return E_FAIL;
  if (qNameLength < 0 || (!qName && qNameLength > 0)) return E_INVALIDARG;
  for (size_t i = 0; i < count_; ++i) {
    const Entry& entry = entries_[i];
    if (entry.name.size() == static_cast<size_t>(qNameLength) &&
        std::wmemcmp(entry.name.data(), qName, entry.name.size()) == 0) {
      *index = static_cast<int>(i);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT ExpatAttributes::findByName(const wchar_t* uri, int uriLength, const wchar_t* localName,
                                    int localNameLength, int* index) const {
  if (!active_) return E_FAIL;
  // Every attribute is outside any namespace.
  static_cast<void>(uri);
  if (uriLength != 0) return E_INVALIDARG;
  return find(localName, localNameLength, index);
}

HRESULT ExpatAttributes::getLength(int* length) {
  if (!length) return E_POINTER;
  *length = active_ ? static_cast<int>(count_) : 0;
  return S_OK;
}

HRESULT ExpatAttributes::getURI(int index, const wchar_t** uri, int* uriLength) {
  HRESULT hr = check(index);
  return FAILED(hr) ? hr : answerText(kEmpty, 0, uri, uriLength);
}

HRESULT ExpatAttributes::getLocalName(int index, const wchar_t** localName, int* localNameLength) {
  return getQName(index, localName, localNameLength);
}

HRESULT ExpatAttributes::getQName(int index, const wchar_t** qName, int* qNameLength) {
  HRESULT hr = check(index);
  if (FAILED(hr)) return hr;
  const std::wstring& name = entries_[static_cast<size_t>(index)].name;
  return answerText(name.data(), name.size(), qName, qNameLength);
}

HRESULT ExpatAttributes::getName(int index, const wchar_t** uri, int* uriLength,
                                 const wchar_t** localName, int* localNameLength,
                                 const wchar_t** qName, int* qNameLength) {
  HRESULT hr = getURI(index, uri, uriLength);
  if (SUCCEEDED(hr)) hr = getLocalName(index, localName, localNameLength);
  if (SUCCEEDED(hr)) hr = getQName(index, qName, qNameLength);
  return hr;
}

HRESULT ExpatAttributes::getIndexFromName(const wchar_t* uri, int uriLength,
                                          const wchar_t* localName, int localNameLength,
                                          int* index) {
  if (!index) return E_POINTER;
  return findByName(uri, uriLength, localName, localNameLength, index);
}

HRESULT ExpatAttributes::getIndexFromQName(const wchar_t* qName, int qNameLength, int* index) {
  if (!index) return E_POINTER;
  return find(qName, qNameLength, index);
}

HRESULT ExpatAttributes::getType(int index, const wchar_t** type, int* typeLength) {
  HRESULT hr = check(index);
  return FAILED(hr) ? hr : answerText(kCdata, 5, type, typeLength);
}

HRESULT ExpatAttributes::readFound(HRESULT found, const int* index, Read read, const wchar_t** out,
                                   int* outLength) {
  return FAILED(found) ? found : (this->*read)(*index, out, outLength);
}

HRESULT ExpatAttributes::getTypeFromName(const wchar_t* uri, int uriLength,
                                         const wchar_t* localName, int localNameLength,
                                         const wchar_t** type, int* typeLength) {
  int i = 0;
  return readFound(findByName(uri, uriLength, localName, localNameLength, &i), &i,
                   &ExpatAttributes::getType, type, typeLength);
}

HRESULT ExpatAttributes::getTypeFromQName(const wchar_t* qName, int qNameLength,
                                          const wchar_t** type, int* typeLength) {
  int i = 0;
  return readFound(find(qName, qNameLength, &i), &i, &ExpatAttributes::getType, type, typeLength);
}

HRESULT ExpatAttributes::getValue(int index, const wchar_t** value, int* valueLength) {
  HRESULT hr = check(index);
  if (FAILED(hr)) return hr;
  const std::wstring& text = entries_[static_cast<size_t>(index)].value;
  return answerText(text.data(), text.size(), value, valueLength);
}

HRESULT ExpatAttributes::getValueFromName(const wchar_t* uri, int uriLength,
                                          const wchar_t* localName, int localNameLength,
                                          const wchar_t** value, int* valueLength) {
  int i = 0;
  return readFound(findByName(uri, uriLength, localName, localNameLength, &i), &i,
                   &ExpatAttributes::getValue, value, valueLength);
}

HRESULT ExpatAttributes::getValueFromQName(const wchar_t* qName, int qNameLength,
                                           const wchar_t** value, int* valueLength) {
  if (!value || !valueLength) return E_POINTER;
  *value = nullptr;
  *valueLength = 0;
  int i = 0;
  return readFound(find(qName, qNameLength, &i), &i, &ExpatAttributes::getValue, value,
                   valueLength);
}

}  // namespace posix
}  // namespace korva
