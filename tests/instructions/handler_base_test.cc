// The generic handler: its identity answers, attribute reading with defaults
// and failures, and a parse attempted without COM on the thread.
#include "common/test_platform.h"
#include "instructions/handler_base.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "instructions_test_util.h"

namespace {

using korva_test::ComFixture;
using korva_test::CtypeLocale;
using korva_test::LogCapture;
using korva_test::TempDir;

// An attribute list answering lookups by qualified name from a table, or a
// fixed failure; the handler uses nothing else of it.
class FakeAttributes : public ISAXAttributes {
 public:
  std::map<std::wstring, std::wstring> values;
  HRESULT failWith = S_OK;
  bool nullEmptyValue = false;
  std::wstring lastName;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE getLength(int* length) override {
    *length = static_cast<int>(values.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE getURI(int, const wchar_t**, int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE getLocalName(int, const wchar_t**, int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE getQName(int, const wchar_t**, int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE getName(int, const wchar_t**, int*, const wchar_t**, int*,
                                    const wchar_t**, int*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE getIndexFromName(const wchar_t*, int, const wchar_t*, int,
                                             int*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE getIndexFromQName(const wchar_t*, int, int*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE getType(int, const wchar_t**, int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE getTypeFromName(const wchar_t*, int, const wchar_t*, int,
                                            const wchar_t**, int*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE getTypeFromQName(const wchar_t*, int, const wchar_t**, int*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE getValue(int, const wchar_t**, int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE getValueFromName(const wchar_t*, int, const wchar_t*, int,
                                             const wchar_t**, int*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE getValueFromQName(const wchar_t* qName, int qNameLen,
                                              const wchar_t** value, int* valueLen) override {
    lastName.assign(qName, qNameLen);
    if (FAILED(failWith)) return failWith;
    auto it = values.find(lastName);
    if (it == values.end()) return E_INVALIDARG;
    *value = (nullEmptyValue && it->second.empty()) ? nullptr : it->second.data();
    *valueLen = static_cast<int>(it->second.size());
    return S_OK;
  }
};

class HandlerBaseTest : public ComFixture {
 protected:
  TempDir dir;
  CMAHandlerBase handler;
};

TEST_F(HandlerBaseTest, IdentityAnswersTheTwoHandlersAndUnknownWithoutCounting) {
  EXPECT_EQ(handler.AddRef(), 0u);
  EXPECT_EQ(handler.Release(), 0u);
  EXPECT_EQ(handler.Release(), 0u);  // nothing is freed, however often

  ISAXContentHandler* content = &handler;
  void* out = nullptr;
  ASSERT_EQ(handler.QueryInterface(IID_ISAXContentHandler, &out), S_OK);
  EXPECT_EQ(out, content);
  ASSERT_EQ(handler.QueryInterface(IID_ISAXErrorHandler, &out), S_OK);
  EXPECT_EQ(out, static_cast<ISAXErrorHandler*>(&handler));
  // The identity is the first base's.
  ASSERT_EQ(handler.QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(out, static_cast<IUnknown*>(content));

  out = &handler;
  EXPECT_EQ(handler.QueryInterface(IID_ISAXXMLReader, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(handler.QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  // A Ref held by someone else (as the reader does) neither frees nor counts.
  { korva::Ref<ISAXContentHandler> held(&handler); }
  EXPECT_EQ(handler.AddRef(), 0u);
}

TEST_F(HandlerBaseTest, ReadAttributeTakesTheValueOrTheDefault) {
  LogCapture log(dir);
  FakeAttributes attrs;
  attrs.values[L"desc"] = L"  Sales &  more ";
  attrs.values[L"empty"] = L"";
  attrs.values[L"Name"] = L"upper";

  SAnsiString out = "old";
  EXPECT_EQ(handler.readAttribute(&attrs, "desc", "dflt", &out), 200);
  EXPECT_STREQ(out.getBuffer(), "  Sales &  more ");  // as delivered: no trimming
  EXPECT_EQ(attrs.lastName, L"desc");

  EXPECT_EQ(handler.readAttribute(&attrs, "empty", "dflt", &out), 200);
  EXPECT_STREQ(out.getBuffer(), "dflt");
  attrs.nullEmptyValue = true;
  out = "old";
  EXPECT_EQ(handler.readAttribute(&attrs, "empty", "dflt", &out), 200);
  EXPECT_STREQ(out.getBuffer(), "dflt");

  EXPECT_EQ(handler.readAttribute(&attrs, "name", "dflt", &out), 200);  // names match exactly
  EXPECT_STREQ(out.getBuffer(), "dflt");
  EXPECT_EQ(handler.readAttribute(&attrs, "missing", nullptr, &out), 200);
  EXPECT_STREQ(out.getBuffer(), "");
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(HandlerBaseTest, ReadAttributeFailures) {
  struct Case {
    HRESULT lookup;
    int status;
    const char* line;
  } cases[] = {
      {E_FAIL, 204,
       " - --- ERROR --- (config): Error occurred while reading the attribute \"desc\" from XML."
       " System function failed."},
      {E_ACCESSDENIED, 204,
       " - --- ERROR --- (config): Error occurred while reading the attribute \"desc\" from XML."
       " System function failed."},
      {E_OUTOFMEMORY, 203,
       " - --- ERROR --- (config): Error occurred while reading the attribute \"desc\" from XML."
       " Out of memory."},
  };
  for (const Case& c : cases) {
    LogCapture log(dir);
    FakeAttributes attrs;
    attrs.values[L"desc"] = L"x";
    attrs.failWith = c.lookup;
    SAnsiString out = "kept";
    EXPECT_EQ(handler.readAttribute(&attrs, "desc", "dflt", &out), c.status);
    EXPECT_STREQ(out.getBuffer(), "kept");
    EXPECT_EQ(log.lines(), std::vector<std::string>{c.line});
  }
}

TEST_F(HandlerBaseTest, ReadAttributeFailsOnTextTheEncodingCannotHold) {
  LogCapture log(dir);
  FakeAttributes attrs;
  // Beyond Latin-1: no "C" locale holds it (glibc's holds ASCII, the
  // Windows C runtime's the first 256 characters).
  attrs.values[L"desc"] = L"caf\u0101";
  SAnsiString out = "kept";
  EXPECT_EQ(handler.readAttribute(&attrs, "desc", "dflt", &out), 203);
  EXPECT_STREQ(out.getBuffer(), "kept");
  std::vector<std::string> expected = {
      " - --- ERROR --- (config): Error occurred while reading the attribute \"desc\""
      " from XML. Out of memory."};
  // An attribute name that cannot be made wide fails the same way, where a
  // byte above 127 can fail to convert.
  if (korva_test::cLocaleRefusesBytesAbove127()) {
    EXPECT_EQ(handler.readAttribute(&attrs, "d\xc3\xa9sc", "dflt", &out), 203);
    expected.push_back(
        " - --- ERROR --- (config): Error occurred while reading the attribute"
        " \"d\xc3\xa9sc\" from XML. Out of memory.");
  }
  EXPECT_EQ(log.lines(), expected);

  if (!korva_test::hasUtf8CtypeLocale()) return;
  CtypeLocale utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  EXPECT_EQ(handler.readAttribute(&attrs, "desc", "dflt", &out), 200);
  EXPECT_STREQ(out.getBuffer(), "caf\xc4\x81");
}

TEST_F(HandlerBaseTest, ParseWithoutComOnTheThreadFailsAsASystemFailure) {
  LogCapture log(dir);
  const std::string path = dir.write("publish.xml", "<publish/>");
  CoUninitialize();
  EXPECT_EQ(handler.parseFile(path.c_str()), 204);
  EXPECT_EQ(handler.parseText(L"<publish/>"), 204);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{
                " - --- ERROR --- (config): Error occurred while parsing the XML file " + path +
                    ". System function failed.",
                " - --- ERROR --- (config): Error occurred while parsing XML. System function "
                "failed."}));
}

TEST_F(HandlerBaseTest, TheBaseHandlerReadsAnyWellFormedDocument) {
  LogCapture log(dir);
  const std::string path =
      dir.write("any.xml", "<?xml version=\"1.0\"?><!-- c --><a x='1'><?pi d?>text<b/></a>");
  EXPECT_EQ(handler.parseFile(path.c_str()), 200);
  EXPECT_EQ(handler.parseText(L"<a><b/></a>"), 200);
  EXPECT_EQ(handler.parseText(L"<a><b></a>"), 1031);
  EXPECT_EQ(handler.parseText(nullptr), 1031);
  EXPECT_EQ(log.lines(), (std::vector<std::string>{
                             " - --- ERROR --- (config): Error occurred while parsing XML.",
                             " - --- ERROR --- (config): Error occurred while parsing XML."}));
}

}  // namespace
