// CMAHandlerBase: do-nothing SAX callbacks, the reader set-up shared by both
// parse operations, and attribute reading with defaults.
//
// Thread-safety and ownership: see handler_base.h.
#include "instructions/handler_base.h"

#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "com/ref.h"
#include "com/variant.h"
#include "common/action_log.h"
#include "common/status.h"

using korva::Ref;

namespace {

const char kUrlPrefix[] = "file:///";

}  // namespace

CMAHandlerBase::~CMAHandlerBase() = default;

ULONG CMAHandlerBase::AddRef() { return 0; }
ULONG CMAHandlerBase::Release() { return 0; }

HRESULT CMAHandlerBase::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_ISAXContentHandler || iid == IID_IUnknown) {
    *out = static_cast<ISAXContentHandler*>(this);
  } else if (iid == IID_ISAXErrorHandler) {
    *out = static_cast<ISAXErrorHandler*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  return S_OK;
}

HRESULT CMAHandlerBase::putDocumentLocator(ISAXLocator*) { return S_OK; }
HRESULT CMAHandlerBase::startDocument() { return S_OK; }
HRESULT CMAHandlerBase::endDocument() { return S_OK; }
HRESULT CMAHandlerBase::startPrefixMapping(const wchar_t*, int, const wchar_t*, int) {
  return S_OK;
}
HRESULT CMAHandlerBase::endPrefixMapping(const wchar_t*, int) { return S_OK; }
HRESULT CMAHandlerBase::startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int,
                                     ISAXAttributes*) {
  return S_OK;
}
HRESULT CMAHandlerBase::endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int) {
  return S_OK;
}
HRESULT CMAHandlerBase::characters(const wchar_t*, int) { return S_OK; }
HRESULT CMAHandlerBase::ignorableWhitespace(const wchar_t*, int) { return S_OK; }
HRESULT CMAHandlerBase::processingInstruction(const wchar_t*, int, const wchar_t*, int) {
  return S_OK;
}
HRESULT CMAHandlerBase::skippedEntity(const wchar_t*, int) { return S_OK; }

HRESULT CMAHandlerBase::error(ISAXLocator*, const wchar_t*, HRESULT) { return S_OK; }
HRESULT CMAHandlerBase::fatalError(ISAXLocator*, const wchar_t*, HRESULT) { return S_OK; }
HRESULT CMAHandlerBase::ignorableWarning(ISAXLocator*, const wchar_t*, HRESULT) { return S_OK; }

int CMAHandlerBase::readAttribute(ISAXAttributes* attributes, const char* name,
                                  const char* defaultValue, SAnsiString* out) {
  if (!name) name = "";
  if (!defaultValue) defaultValue = "";
  int status = kStatusOk;
  try {
    SWCharString wideName;
    if (!wideName.assign(name)) {
      status = kStatusOutOfMemory;
    } else if (!attributes || !out) {
      status = kStatusSystem;
    } else {
      const wchar_t* value = nullptr;
      int valueLen = 0;
      const HRESULT hr = attributes->getValueFromQName(wideName.getBuffer(), wideName.getNChars(),
                                                       &value, &valueLen);
      if (hr == E_INVALIDARG) {
        // Not found: the default applies.
        *out = defaultValue;
      } else if (hr == E_OUTOFMEMORY) {
        status = kStatusOutOfMemory;
      } else if (FAILED(hr)) {
        // Any other failure is a failed lookup, never a silent default.
        status = kStatusSystem;
      } else if (!value || valueLen <= 0) {
        *out = defaultValue;
      } else {
        // The value is not terminated: copy it, then convert to multibyte.
        const SWCharString wideValue(value, valueLen);
        SAnsiString converted;
        if (!converted.assign(wideValue.getBuffer())) {
          status = kStatusOutOfMemory;
        } else {
          *out = converted;
        }
      }
    }
  } catch (...) {
    status = kStatusOutOfMemory;
  }
  if (status != kStatusOk) {
    ActionLog::logStatusLine(status,
                             KORVA_ERROR KORVA_CTX_CONFIG
                             "Error occurred while reading the attribute \"%s\" from XML.",
                             name);
  }
  return status;
}

int CMAHandlerBase::createReader(Ref<ISAXXMLReader>* reader) {
  // Any server context (0x17), asked for the base interface first.
  Ref<IUnknown> object;
  if (FAILED(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_IUnknown,
                              object.putVoid())) ||
      !object) {
    return kStatusSystem;
  }
  if (FAILED(OleRun(object.get()))) return kStatusSystem;
  const HRESULT hr = object.query(reader);
  // The base reference goes whatever the answer.
  object.reset();
  if (FAILED(hr) || !*reader) return kStatusSystem;
  if (FAILED((*reader)->putContentHandler(this)) || FAILED((*reader)->putErrorHandler(this))) {
    return kStatusSystem;
  }
  return kStatusOk;
}

int CMAHandlerBase::parseText(const wchar_t* text) {
  int status = kStatusOk;
  try {
    Ref<ISAXXMLReader> reader;
    status = createReader(&reader);
    if (status == kStatusOk) {
      const korva::Variant document = korva::Variant::fromString(text ? text : L"");
      if (!korva::variantAs<BSTR>(document.get())) {
        status = kStatusOutOfMemory;
      } else if (reader->parse(document) != S_OK) {
        status = kStatusParse;
      }
    }
  } catch (...) {
    status = kStatusOutOfMemory;
  }
  if (status != kStatusOk) {
    ActionLog::logStatusLine(status,
                             KORVA_ERROR KORVA_CTX_CONFIG "Error occurred while parsing XML.");
  }
  return status;
}

int CMAHandlerBase::parseFile(const char* path) {
  if (!path) path = "";
  int status = kStatusOk;
  try {
    Ref<ISAXXMLReader> reader;
    status = createReader(&reader);
    if (status == kStatusOk) {
      char url[kUrlBufferSize];
      const size_t prefixLen = sizeof kUrlPrefix - 1;
      const size_t pathLen = std::strlen(path);
      SWCharString wideUrl;
      // A path whose URL would not fit is refused rather than cut short (a
      // truncated path could name another file): the file cannot be parsed.
      if (prefixLen + pathLen + 1 > sizeof url) {
        status = kStatusParse;
      } else {
        std::memcpy(url, kUrlPrefix, prefixLen);
        std::memcpy(url + prefixLen, path, pathLen + 1);
        if (!wideUrl.assign(url)) status = kStatusOutOfMemory;
      }
      // Only S_OK is a whole document: a reader may stop early and still
      // answer a success code (S_FALSE when a callback answered it).
      if (status == kStatusOk && reader->parseURL(wideUrl.getBuffer()) != S_OK) {
        status = kStatusParse;
      }
    }
  } catch (...) {
    status = kStatusOutOfMemory;
  }
  if (status != kStatusOk) {
    ActionLog::logStatusLine(
        status, KORVA_ERROR KORVA_CTX_CONFIG "Error occurred while parsing the XML file %s.", path);
  }
  return status;
}
