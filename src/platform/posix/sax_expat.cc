// The XML reader on POSIX: an ISAXXMLReader over expat, created through the
// class registry (CLSID_SAXXMLReader) by its class factory. No namespace processing, so start tags
// arrive with their qualified names (also passed as local names, with an empty namespace URI).
//
// Hostile documents: external entities and DTDs are never loaded (a reference
// to an external general entity fails the parse; parameter entities are not
// parsed at all), and expat's amplification limits stop entity bombs. Files
// are read in fixed chunks, so memory does not grow with the file. Only
// regular files are read: a directory, a pipe or a device fails at once
// instead of blocking or reading without end.
//
// In-memory documents (parse with a VT_BSTR variant) are already
// characters: they are handed to expat as UTF-8 and any encoding declaration
// in them is ignored. A wide text holding a surrogate or a value beyond
// U+10FFFF fails the parse.
//
// Thread-safety: one reader serves one parse at a time on one thread; a parse
// started from inside a callback of the same reader fails.
// Ownership: the reader holds references to its handlers until it is released
// or given others (getContentHandler and getErrorHandler hand out added ones); a parse keeps its
// own references for its duration. The attribute list and locator passed to callbacks belong to the
// parse and are valid only during the callback. Debian's expat is built with DTD support; this
// makes its amplification limits visible (linking fails against an expat without them).
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "com/function_class_factory.h"
#include "com/ref.h"
#include "com/refcounted_object.h"
#include "com/variant.h"
#include "platform/posix/expat_attributes.h"
#include "platform/posix/expat_encodings.h"
#include "platform/posix/platform_classes.h"
#include "platform/posix/utf8_wide.h"
#include "platform/sax.h"

namespace korva {
namespace posix {
namespace {

constexpr size_t kFileChunkBytes = 64 * 1024;
constexpr size_t kTextChunkChars = 16 * 1024;
constexpr wchar_t kFileUrlPrefix[] = L"file:///";
constexpr size_t kFileUrlPrefixLength = sizeof(kFileUrlPrefix) / sizeof(wchar_t) - 1;

#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
#define KORVA_EXPAT_AMPLIFICATION_LIMITS 1
// Expat's own defaults, set explicitly so that a differently built library
// still applies them.
constexpr float kMaxAmplification = 100.0f;
constexpr unsigned long long kAmplificationThreshold = 8ull * 1024 * 1024;
#else
#define KORVA_EXPAT_AMPLIFICATION_LIMITS 0
#endif

// Owns an open file descriptor.
class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

struct ParserDeleter {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};
using ParserOwner = std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserDeleter>;

// One parse: the expat parser, the handlers it reports to, and the first
// failure that stopped it.
class ExpatParse {
 public:
  ExpatParse(ISAXContentHandler* content, ISAXErrorHandler* errors)
      : content_(content), errors_(errors) {}

  HRESULT parseFile(const std::string& path) {
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid()) {
      HRESULT hr = (errno == EACCES || errno == EPERM) ? E_ACCESSDENIED : E_FAIL;
      return reportFatal(L"The file cannot be opened.", hr);
    }
    struct stat info;
    if (::fstat(file.get(), &info) != 0) return reportFatal(L"The file cannot be read.", E_FAIL);
    if (!S_ISREG(info.st_mode)) return reportFatal(L"The path does not name a file.", E_FAIL);
    int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
      return reportFatal(L"The file cannot be read.", E_FAIL);
    }

    HRESULT hr = begin(nullptr);
    if (FAILED(hr)) return hr;
    for (;;) {
      void* buffer = XML_GetBuffer(parser_.get(), static_cast<int>(kFileChunkBytes));
      if (!buffer) return parseFailure();
      ssize_t got;
      do {
        got = ::read(file.get(), buffer, kFileChunkBytes);
      } while (got < 0 && errno == EINTR);
      if (got < 0) return reportFatal(L"The file cannot be read.", E_FAIL);
      if (XML_ParseBuffer(parser_.get(), static_cast<int>(got), got == 0) != XML_STATUS_OK) {
        return parseFailure();
      }
      if (got == 0) break;
    }
    return finish();
  }

  HRESULT parseText(const std::wstring& document) {
    // The text is already characters: it reaches expat as UTF-8 whatever
    // its declaration says.
    HRESULT hr = begin("UTF-8");
    if (FAILED(hr)) return hr;
    std::string bytes;
    size_t offset = 0;
    do {
      size_t take = std::min(kTextChunkChars, document.size() - offset);
      bytes.clear();
      if (!appendWideAsUtf8(document.data() + offset, take, &bytes)) {
        return reportFatal(L"The document holds a value that is not a character.", E_FAIL);
      }
      offset += take;
      bool last = offset == document.size();
      if (XML_Parse(parser_.get(), bytes.data(), static_cast<int>(bytes.size()), last) !=
          XML_STATUS_OK) {
        return parseFailure();
      }
    } while (offset < document.size());
    return finish();
  }

 private:
  HRESULT begin(const XML_Char* encoding) {
    parser_.reset(XML_ParserCreate(encoding));
    if (!parser_) return E_OUTOFMEMORY;
    XML_Parser p = parser_.get();
    locator_.attach(p);
    XML_SetUserData(p, this);
    XML_SetElementHandler(p, &ExpatParse::onStartElement, &ExpatParse::onEndElement);
    XML_SetCharacterDataHandler(p, &ExpatParse::onCharacters);
    XML_SetProcessingInstructionHandler(p, &ExpatParse::onProcessingInstruction);
    XML_SetSkippedEntityHandler(p, &ExpatParse::onSkippedEntity);
    XML_SetExternalEntityRefHandler(p, &ExpatParse::onExternalEntityRef);
    XML_SetUnknownEncodingHandler(p, &onUnknownEncoding, nullptr);
    if (!XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER)) return E_FAIL;
#if KORVA_EXPAT_AMPLIFICATION_LIMITS
    if (!XML_SetBillionLaughsAttackProtectionMaximumAmplification(p, kMaxAmplification) ||
        !XML_SetBillionLaughsAttackProtectionActivationThreshold(p, kAmplificationThreshold)) {
      return E_FAIL;
    }
#else
    // Without amplification limits no entity may be declared with a value.
    XML_SetEntityDeclHandler(p, &ExpatParse::onEntityDeclaration);
#endif
    if (content_) {
      HRESULT hr = content_->putDocumentLocator(&locator_);
      if (SUCCEEDED(hr)) hr = content_->startDocument();
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  HRESULT finish() {
    if (!content_) return S_OK;
    HRESULT hr = content_->endDocument();
    return FAILED(hr) ? hr : S_OK;
  }

  // After expat answered an error: a callback's failure, or the document's.
  HRESULT parseFailure() {
    if (stopped_) return result_;
    XML_Error code = XML_GetErrorCode(parser_.get());
    std::wstring message;
    const XML_LChar* text = XML_ErrorString(code);
    if (!text) text = "unknown error";
    // Expat's messages are plain ASCII.
    for (const XML_LChar* c = text; *c; ++c) message.push_back(static_cast<wchar_t>(*c));
    return reportFatal(message, code == XML_ERROR_NO_MEMORY ? E_OUTOFMEMORY : E_FAIL);
  }

  // Tells the error handler; its answer does not change the outcome.
  HRESULT reportFatal(const std::wstring& message, HRESULT code) {
    if (errors_) errors_->fatalError(&locator_, message.c_str(), code);
    return code;
  }

  void fail(HRESULT hr) {
    if (stopped_) return;
    stopped_ = true;
    result_ = hr;
    XML_StopParser(parser_.get(), XML_FALSE);
  }

  // Runs a callback body; nothing thrown may cross expat's C frames.
  template <typename Body>
  static void guarded(void* data, Body body) {
    auto* self = static_cast<ExpatParse*>(data);
    if (self->stopped_) return;  // expat may still report a little after a stop
    try {
      HRESULT hr = body(self);
      if (FAILED(hr)) self->fail(hr);
    } catch (const std::bad_alloc&) {
      self->fail(E_OUTOFMEMORY);
    } catch (...) {
      self->fail(E_FAIL);
    }
  }

  bool decode(const XML_Char* text, size_t length, std::wstring* out) {
    out->clear();
    return appendUtf8AsWide(text, length, out);
  }

  static void XMLCALL onStartElement(void* data, const XML_Char* name, const XML_Char** atts) {
    guarded(data, [&](ExpatParse* self) -> HRESULT {
      if (!self->decode(name, std::strlen(name), &self->name_)) return E_FAIL;
      if (!self->attributes_.assign(atts)) return E_FAIL;
      if (!self->content_) return S_OK;
      int len = static_cast<int>(self->name_.size());
      const wchar_t* n = self->name_.c_str();
      return self->content_->startElement(L"", 0, n, len, n, len, &self->attributes_);
    });
    static_cast<ExpatParse*>(data)->attributes_.deactivate();
  }

  static void XMLCALL onEndElement(void* data, const XML_Char* name) {
    guarded(data, [&](ExpatParse* self) -> HRESULT {
      if (!self->content_) return S_OK;
      if (!self->decode(name, std::strlen(name), &self->name_)) return E_FAIL;
      int len = static_cast<int>(self->name_.size());
      const wchar_t* n = self->name_.c_str();
      return self->content_->endElement(L"", 0, n, len, n, len);
    });
  }

  static void XMLCALL onCharacters(void* data, const XML_Char* text, int length) {
    guarded(data, [&](ExpatParse* self) -> HRESULT {
      if (!self->content_) return S_OK;
      if (!self->decode(text, static_cast<size_t>(length), &self->text_)) return E_FAIL;
      return self->content_->characters(self->text_.data(), static_cast<int>(self->text_.size()));
    });
  }

  static void XMLCALL onProcessingInstruction(void* data, const XML_Char* target,
                                              const XML_Char* body) {
    guarded(data, [&](ExpatParse* self) -> HRESULT {
      if (!self->content_) return S_OK;
      if (!self->decode(target, std::strlen(target), &self->name_) ||
          !self->decode(body, std::strlen(body), &self->text_)) {
        return E_FAIL;
      }
      return self->content_->processingInstruction(
          self->name_.data(), static_cast<int>(self->name_.size()), self->text_.data(),
          static_cast<int>(self->text_.size()));
    });
  }

  // An entity whose declaration was not read (it would be in a DTD that is
  // never loaded).
  static void XMLCALL onSkippedEntity(void* data, const XML_Char* name, int isParameterEntity) {
    guarded(data, [&](ExpatParse* self) -> HRESULT {
      if (!self->content_) return S_OK;
      self->name_.clear();
      if (isParameterEntity) self->name_.push_back(L'%');
      if (!appendUtf8AsWide(name, std::strlen(name), &self->name_)) return E_FAIL;
      return self->content_->skippedEntity(self->name_.data(),
                                           static_cast<int>(self->name_.size()));
    });
  }

  // External entities are never loaded: the reference fails the parse, and
  // the named resource is not touched.
  static int XMLCALL onExternalEntityRef(XML_Parser, const XML_Char*, const XML_Char*,
                                         const XML_Char*, const XML_Char*) {
    return XML_STATUS_ERROR;
  }

#if !KORVA_EXPAT_AMPLIFICATION_LIMITS
  static void XMLCALL onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char* value,
                                          int, const XML_Char*, const XML_Char*, const XML_Char*,
                                          const XML_Char*) {
    auto* self = static_cast<ExpatParse*>(data);
    if (value) self->fail(E_FAIL);
  }
#endif

  ISAXContentHandler* content_;
  ISAXErrorHandler* errors_;
  ParserOwner parser_;
  ExpatLocator locator_;
  ExpatAttributes attributes_;
  std::wstring name_;  // decoding buffers, reused from callback to callback
  std::wstring text_;
  bool stopped_ = false;
  HRESULT result_ = S_OK;
};

class ExpatSaxReader final : public ISAXXMLReader, public RefCountedObject<ExpatSaxReader> {
 public:
  KORVA_REFCOUNTED_UNKNOWN

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ISAXXMLReader) {
      *out = static_cast<ISAXXMLReader*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  // No feature or property can be changed: the reader's safety rules hold
  // whatever a caller asks, and no entity resolver, DTD handler or base URL
  // is ever used.
  HRESULT STDMETHODCALLTYPE getFeature(const wchar_t*, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putFeature(const wchar_t*, VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE getProperty(const wchar_t*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putProperty(const wchar_t*, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE getEntityResolver(ISAXEntityResolver**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putEntityResolver(ISAXEntityResolver*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE getDTDHandler(ISAXDTDHandler**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putDTDHandler(ISAXDTDHandler*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE getBaseURL(const wchar_t**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putBaseURL(const wchar_t*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE getSecureBaseURL(const wchar_t**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putSecureBaseURL(const wchar_t*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE getContentHandler(ISAXContentHandler** handler) override {
    return handOut(content_, handler);
  }
  HRESULT STDMETHODCALLTYPE putContentHandler(ISAXContentHandler* handler) override {
    content_ = Ref<ISAXContentHandler>(handler);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE getErrorHandler(ISAXErrorHandler** handler) override {
    return handOut(errors_, handler);
  }
  HRESULT STDMETHODCALLTYPE putErrorHandler(ISAXErrorHandler* handler) override {
    errors_ = Ref<ISAXErrorHandler>(handler);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE parseURL(const wchar_t* url) override {
    if (!url || std::wcsncmp(url, kFileUrlPrefix, kFileUrlPrefixLength) != 0) {
      return E_INVALIDARG;
    }
    const wchar_t* widePath = url + kFileUrlPrefixLength;
    if (*widePath == L'\0') return E_INVALIDARG;
    size_t length = std::wcstombs(nullptr, widePath, 0);
    if (length == static_cast<size_t>(-1)) return E_INVALIDARG;
    std::vector<char> path(length + 1, '\0');
    if (std::wcstombs(path.data(), widePath, length + 1) != length) return E_INVALIDARG;
    return run([&](ExpatParse* parse) { return parse->parseFile(path.data()); });
  }

  HRESULT STDMETHODCALLTYPE parse(VARIANT input) override {
    const std::optional<BSTR> text = korva::variantAs<BSTR>(input);
    if (!text) return E_INVALIDARG;
    // A null BSTR is the empty text, which is not a document.
    const std::wstring document(*text ? *text : L"", SysStringLen(*text));
    return run([&](ExpatParse* parse) { return parse->parseText(document); });
  }

 private:
  ~ExpatSaxReader() override = default;
  friend class RefCountedObject<ExpatSaxReader>;

  template <typename I>
  static HRESULT handOut(const Ref<I>& held, I** out) {
    if (!out) return E_POINTER;
    *out = held.get();
    if (*out) (*out)->AddRef();
    return S_OK;
  }

  template <typename Body>
  HRESULT run(Body body) {
    if (busy_) return E_FAIL;
    busy_ = true;
    HRESULT hr;
    try {
      // The parse keeps its own references: a callback may put other handlers.
      Ref<ISAXContentHandler> content = content_;
      Ref<ISAXErrorHandler> errors = errors_;
      ExpatParse parse(content.get(), errors.get());
      hr = body(&parse);
    } catch (const std::bad_alloc&) {
      hr = E_OUTOFMEMORY;
    } catch (...) {
      hr = E_FAIL;
    }
    busy_ = false;
    return hr;
  }

  Ref<ISAXContentHandler> content_;
  Ref<ISAXErrorHandler> errors_;
  bool busy_ = false;
};

HRESULT createExpatSaxReader(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* reader = new (std::nothrow) ExpatSaxReader();
  if (!reader) return E_OUTOFMEMORY;
  Ref<ExpatSaxReader> hold(reader);
  return reader->QueryInterface(iid, out);
}

}  // namespace

IClassFactory* saxXmlReaderFactory() {
  static FunctionClassFactory factory(&createExpatSaxReader);
  return &factory;
}

}  // namespace posix
}  // namespace korva
