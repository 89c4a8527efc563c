// Tests of the XML reader over expat: callbacks and answers the instructions
// reader relies on, failures of every kind, and hostile documents (external
// entities, entity bombs, very large files).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "com/ref.h"
#include "com/refcounted_object.h"
#include "com/variant.h"
#include "platform/sax.h"

namespace korva {
namespace {

std::wstring widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Records every callback as a line of text; consecutive character runs are
// joined, since the parser may split them anywhere.
class Recorder final : public ISAXContentHandler,
                       public ISAXErrorHandler,
                       public RefCountedObject<Recorder> {
 public:
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_ISAXContentHandler) {
      *out = static_cast<ISAXContentHandler*>(this);
    } else if (iid == IID_ISAXErrorHandler) {
      *out = static_cast<ISAXErrorHandler*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator* l) override {
    locator = l;
    return event(L"locator");
  }
  HRESULT STDMETHODCALLTYPE startDocument() override { return event(L"startDocument"); }
  HRESULT STDMETHODCALLTYPE endDocument() override { return event(L"endDocument"); }
  HRESULT STDMETHODCALLTYPE startPrefixMapping(const wchar_t* p, int pl, const wchar_t*,
                                               int) override {
    return event(L"prefix " + std::wstring(p, pl));
  }
  HRESULT STDMETHODCALLTYPE endPrefixMapping(const wchar_t* p, int pl) override {
    return event(L"endPrefix " + std::wstring(p, pl));
  }
  HRESULT STDMETHODCALLTYPE startElement(const wchar_t* uri, int uriLen, const wchar_t* local,
                                         int localLen, const wchar_t* qName, int qNameLen,
                                         ISAXAttributes* attributes) override {
    ++elements;
    // Reused buffer: in counting mode a callback allocates nothing.
    std::wstring& name = currentName_;
    name.assign(qName, qNameLen);
    checkNames(uri, uriLen, local, localLen);
    if (onStart) {
      HRESULT hr = onStart(name, attributes);
      if (FAILED(hr)) return hr;
    }
    return recordEvents ? event(L"start " + name) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE endElement(const wchar_t* uri, int uriLen, const wchar_t* local,
                                       int localLen, const wchar_t* qName, int qNameLen) override {
    std::wstring& name = currentName_;
    name.assign(qName, qNameLen);
    checkNames(uri, uriLen, local, localLen);
    if (onEnd) onEnd();
    return recordEvents ? event(L"end " + name) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE characters(const wchar_t* chars, int length) override {
    characterCount += static_cast<size_t>(length);
    if (!recordEvents) return S_OK;
    text.append(chars, length);
    if (!events.empty() && events.back().compare(0, 6, L"chars ") == 0) {
      events.back().append(chars, length);
    } else {
      events.push_back(L"chars " + std::wstring(chars, length));
    }
    return failOn == L"chars" ? failWith : S_OK;
  }
  HRESULT STDMETHODCALLTYPE ignorableWhitespace(const wchar_t*, int) override {
    return event(L"whitespace");
  }
  HRESULT STDMETHODCALLTYPE processingInstruction(const wchar_t* t, int tl, const wchar_t* d,
                                                  int dl) override {
    return event(L"pi " + std::wstring(t, tl) + L"|" + std::wstring(d, dl));
  }
  HRESULT STDMETHODCALLTYPE skippedEntity(const wchar_t* name, int length) override {
    return event(L"skipped " + std::wstring(name, length));
  }

  HRESULT STDMETHODCALLTYPE error(ISAXLocator*, const wchar_t* message, HRESULT) override {
    errors.push_back(message);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE fatalError(ISAXLocator*, const wchar_t* message, HRESULT) override {
    fatalErrors.push_back(message);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ignorableWarning(ISAXLocator*, const wchar_t* message,
                                             HRESULT) override {
    errors.push_back(message);
    return S_OK;
  }

  std::vector<std::wstring> events;
  std::vector<std::wstring> fatalErrors;
  std::vector<std::wstring> errors;
  std::wstring text;
  ISAXLocator* locator = nullptr;
  bool recordEvents = true;
  bool namesAsQualified = true;
  long elements = 0;
  size_t characterCount = 0;
  // The event (its recorded text, or "chars") that answers failWith.
  std::wstring failOn;
  HRESULT failWith = E_FAIL;
  std::function<HRESULT(const std::wstring&, ISAXAttributes*)> onStart;
  std::function<void()> onEnd;

 private:
  ~Recorder() override = default;
  friend class RefCountedObject<Recorder>;

  // Without namespace processing the local name is the qualified name.
  void checkNames(const wchar_t* uri, int uriLen, const wchar_t* local, int localLen) {
    if (uriLen != 0 || !uri || static_cast<size_t>(localLen) != currentName_.size() ||
        currentName_.compare(0, currentName_.size(), local, localLen) != 0) {
      namesAsQualified = false;
    }
  }

  std::wstring currentName_;

  HRESULT event(const std::wstring& e) {
    if (!recordEvents) return S_OK;
    events.push_back(e);
    return e == failOn ? failWith : S_OK;
  }
};

long peakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

class SaxExpatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char pattern[] = "/tmp/korva-sax-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    recorder_ = Ref<Recorder>(new Recorder());
  }
  void TearDown() override {
    recorder_ = nullptr;
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    CoUninitialize();
  }

  // The reader's object as the instructions reader creates it: by class id
  // for every context, as its base interface, then put running.
  static Ref<IUnknown> newReaderObject() {
    Ref<IUnknown> object;
    EXPECT_EQ(
        CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_IUnknown, object.putVoid()),
        S_OK);
    EXPECT_EQ(OleRun(object.get()), S_OK);
    return object;
  }

  Ref<ISAXXMLReader> newReader() {
    Ref<IUnknown> object = newReaderObject();
    Ref<ISAXXMLReader> reader;
    EXPECT_EQ(object.query(&reader), S_OK);
    if (!reader) return reader;
    EXPECT_EQ(reader->putContentHandler(recorder_.get()), S_OK);
    EXPECT_EQ(reader->putErrorHandler(recorder_.get()), S_OK);
    return reader;
  }

  // From now on, *seen holds the "name" attribute of the last start tag that
  // had one.
  void keepNameAttribute(std::wstring* seen) {
    recorder_->onStart = [seen](const std::wstring&, ISAXAttributes* attributes) {
      const wchar_t* value = nullptr;
      int valueLen = 0;
      if (attributes->getValueFromQName(L"name", 4, &value, &valueLen) == S_OK) {
        seen->assign(value, valueLen);
      }
      return S_OK;
    };
  }

  std::string writeFile(const std::string& name, const std::string& content) {
    std::string path = dir_ + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (!f) return path;
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return path;
  }

  HRESULT parsePath(const std::string& path) {
    Ref<ISAXXMLReader> reader = newReader();
    if (!reader) return E_FAIL;
    return reader->parseURL((L"file:///" + widen(path)).c_str());
  }
  HRESULT parseDocument(const std::string& name, const std::string& content) {
    return parsePath(writeFile(name, content));
  }

  // Parses with a fresh recorder and expects a failure with one fatal error
  // that has a text, and no end of the document.
  void expectFatalFailure(const std::function<HRESULT()>& parse, const std::string& what) {
    SCOPED_TRACE(what);
    recorder_ = Ref<Recorder>(new Recorder());
    EXPECT_TRUE(FAILED(parse()));
    ASSERT_EQ(recorder_->fatalErrors.size(), 1u);
    EXPECT_FALSE(recorder_->fatalErrors[0].empty());
    for (const std::wstring& e : recorder_->events) EXPECT_NE(e, L"endDocument");
  }

  std::string dir_;
  Ref<Recorder> recorder_;
};

TEST_F(SaxExpatTest, ReaderComesFromTheClassRegistry) {
  Ref<IUnknown> object = newReaderObject();
  ASSERT_TRUE(object);
  Ref<ISAXXMLReader> reader;
  EXPECT_EQ(object.query(&reader), S_OK);
  EXPECT_TRUE(reader);
  Ref<ISAXContentHandler> notOffered;
  EXPECT_EQ(object.query(&notOffered), E_NOINTERFACE);
  EXPECT_FALSE(notOffered);
  Ref<ISAXXMLReader> direct;
  EXPECT_EQ(createInstance(CLSID_SAXXMLReader, CLSCTX_ALL, &direct), S_OK);
}

TEST_F(SaxExpatTest, CallbacksArriveInDocumentOrderWithQualifiedNames) {
  const char* doc =
      "<?xml version=\"1.0\"?>\n"
      "<publish apsname=\"x\"><users>Ann &amp; Bob<![CDATA[<raw>]]></users>"
      "<?marker some data?><v:folder xmlns:v=\"urn:v\"/></publish>";
  ASSERT_EQ(parseDocument("order.xml", doc), S_OK);
  std::vector<std::wstring> expected = {L"locator",
                                        L"startDocument",
                                        L"start publish",
                                        L"start users",
                                        L"chars Ann & Bob<raw>",
                                        L"end users",
                                        L"pi marker|some data",
                                        L"start v:folder",
                                        L"end v:folder",
                                        L"end publish",
                                        L"endDocument"};
  EXPECT_EQ(recorder_->events, expected);
  EXPECT_TRUE(recorder_->namesAsQualified);
  EXPECT_TRUE(recorder_->fatalErrors.empty());
}

TEST_F(SaxExpatTest, AttributesAnswerByQualifiedName) {
  struct Lookup {
    std::wstring name;
    HRESULT result;
    std::wstring value;
  };
  const std::vector<Lookup> lookups = {
      {L"name", S_OK, L"Ann"},         {L"desc", S_OK, L""},
      {L"v:x", S_OK, L"prefixed"},     {L"xmlns:v", S_OK, L"urn:v"},
      {L"missing", E_INVALIDARG, L""}, {L"Name", E_INVALIDARG, L""},
      {L"nam", E_INVALIDARG, L""},     {L"names", E_INVALIDARG, L""},
      {L"", E_INVALIDARG, L""},
  };
  ISAXAttributes* kept = nullptr;
  int length = -1;
  std::vector<HRESULT> results;
  std::vector<std::wstring> values;
  recorder_->onStart = [&](const std::wstring&, ISAXAttributes* attributes) {
    kept = attributes;
    attributes->getLength(&length);
    for (const Lookup& l : lookups) {
      const wchar_t* value = reinterpret_cast<const wchar_t*>(1);
      int valueLen = -1;
      results.push_back(attributes->getValueFromQName(
          l.name.data(), static_cast<int>(l.name.size()), &value, &valueLen));
      values.push_back(valueLen > 0 ? std::wstring(value, valueLen) : std::wstring());
      if (results.back() != S_OK) {
        EXPECT_EQ(valueLen, 0) << "lookup of a missing attribute";
      }
    }
    return S_OK;
  };
  // The list is only valid during its callback; later it answers failure.
  HRESULT stale = S_OK;
  recorder_->onEnd = [&] {
    const wchar_t* value = nullptr;
    int valueLen = 0;
    stale = kept->getValueFromQName(L"name", 4, &value, &valueLen);
    int left = -1;
    kept->getLength(&left);
    if (left != 0) stale = S_OK;
  };
  ASSERT_EQ(parseDocument("attrs.xml",
                          "<user name=\"Ann\" desc=\"\" v:x=\"prefixed\" xmlns:v=\"urn:v\"/>"),
            S_OK);
  EXPECT_EQ(length, 4);
  ASSERT_EQ(results.size(), lookups.size());
  for (size_t i = 0; i < lookups.size(); ++i) {
    EXPECT_EQ(results[i], lookups[i].result) << "lookup of " << i;
    EXPECT_EQ(values[i], lookups[i].value) << "lookup of " << i;
  }
  EXPECT_EQ(stale, E_FAIL);
}

TEST_F(SaxExpatTest, NonAsciiTextDecodesToTheRightCharacters) {
  struct Case {
    const char* what;
    std::string encoding;  // the declared encoding; none when empty
    std::string name;      // the name attribute, in that encoding
    std::wstring expected;
  };
  const std::vector<Case> cases = {
      // u-umlaut, euro sign, a character outside the basic plane.
      {"UTF-8", "", "J\xC3\xBCrgen \xE2\x82\xAC \xF0\x9D\x84\x9E",
       L"J\u00FCrgen \u20AC \U0001D11E"},
      // Single-byte encodings: the one expat knows, then those read through
      // tables of the C library's converters.
      {"Latin-1", "ISO-8859-1", "J\xFCrgen", L"J\u00FCrgen"},
      {"Windows Western", "windows-1252", "Ren\xE9 \x80", L"Ren\u00E9 \u20AC"},
      {"Latin-2", "ISO-8859-2", "\xA3\xF3\x64\xBC", L"\u0141\u00F3d\u017A"},
      {"Cyrillic", "KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", L"\u041F\u0440\u0438\u0432\u0435\u0442"},
      // A converter that holds characters back to combine them.
      {"Vietnamese", "windows-1258", "\xD0\xF5n", L"\u0110\u01A1n"},
  };
  std::wstring seen;
  keepNameAttribute(&seen);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    seen.clear();
    const std::string declaration =
        c.encoding.empty() ? "" : "<?xml version=\"1.0\" encoding=\"" + c.encoding + "\"?>";
    EXPECT_EQ(parseDocument("text.xml", declaration + "<user name=\"" + c.name + "\"/>"), S_OK);
    EXPECT_EQ(seen, c.expected);
  }
}

TEST_F(SaxExpatTest, FailingCallbackStopsAndFailsTheParse) {
  struct Case {
    std::wstring failOn;
    std::vector<std::wstring> lastEvents;  // the events up to the failure
  };
  const HRESULT code = static_cast<HRESULT>(0x80041234u);
  const std::vector<Case> cases = {
      {L"startDocument", {L"locator", L"startDocument"}},
      {L"start b", {L"locator", L"startDocument", L"start a", L"start b"}},
      {L"end b", {L"locator", L"startDocument", L"start a", L"start b", L"end b"}},
      {L"chars",
       {L"locator", L"startDocument", L"start a", L"start b", L"end b", L"start c", L"chars text"}},
      {L"endDocument",
       {L"locator", L"startDocument", L"start a", L"start b", L"end b", L"start c", L"chars text",
        L"end c", L"start d", L"end d", L"end a", L"endDocument"}},
  };
  for (const Case& c : cases) {
    recorder_ = Ref<Recorder>(new Recorder());
    recorder_->failOn = c.failOn;
    recorder_->failWith = code;
    EXPECT_EQ(parseDocument("stop.xml", "<a><b/><c>text</c><d/></a>"), code);
    EXPECT_EQ(recorder_->events, c.lastEvents)
        << "failing on " << std::string(c.failOn.begin(), c.failOn.end());
  }
}

TEST_F(SaxExpatTest, UnreadableOrBrokenInputFails) {
  struct Case {
    const char* what;
    std::string content;
  };
  const std::vector<Case> cases = {
      {"malformed", "<a><b></a>"},
      {"truncated", "<publish><users><user name=\"x\"/>"},
      {"truncated in a tag", "<publish><users name=\"x"},
      {"empty", ""},
      {"only a declaration", "<?xml version=\"1.0\"?>"},
      {"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-korva-unknown\"?><a/>"},
      {"multibyte encoding", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a/>"},
      {"state-dependent encoding", "<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?><a/>"},
      {"byte the encoding leaves undefined",
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a name=\"\x81\"/>"},
      {"declared UTF-16, written in 8 bits", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>"},
      {"not UTF-8", "<a name=\"J\xFCrgen\"/>"},
      {"binary", std::string("\x00\x01\x02\xFF", 4)},
      {"two roots", "<a/><b/>"},
  };
  for (const Case& c : cases) {
    expectFatalFailure([&] { return parseDocument("bad.xml", c.content); }, c.what);
  }
}

TEST_F(SaxExpatTest, MissingOrUnusablePathsFail) {
  std::string fifo = dir_ + "/pipe.xml";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::vector<std::string> paths = {
      fifo,  // would block until a writer came
      dir_ + "/missing.xml",
      dir_ + "/no/such/dir/file.xml",
      dir_,              // a directory
      "/dev/null",       // not a regular file
      "/proc/self/mem",  // opens, but reading it fails
  };
  for (const std::string& path : paths) {
    expectFatalFailure([&] { return parsePath(path); }, path);
  }
}

TEST_F(SaxExpatTest, FileWithoutReadPermissionFails) {
  std::string path = writeFile("locked.xml", "<a/>");
  ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  if (geteuid() != 0) {
    EXPECT_EQ(parsePath(path), E_ACCESSDENIED);
    return;
  }
  // Permissions do not stop root: read as an ordinary user in a child.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(parsePath(path) == E_ACCESSDENIED && recorder_->fatalErrors.size() == 1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SaxExpatTest, UrlMustBeAFileUrl) {
  std::string path = writeFile("ok.xml", "<a/>");
  Ref<ISAXXMLReader> reader = newReader();
  EXPECT_TRUE(FAILED(reader->parseURL(widen(path).c_str())));
  EXPECT_TRUE(FAILED(reader->parseURL((L"http://host" + widen(path)).c_str())));
  EXPECT_TRUE(FAILED(reader->parseURL(L"file:///")));
  EXPECT_TRUE(FAILED(reader->parseURL(nullptr)));
  EXPECT_EQ(reader->parseURL((L"file:///" + widen(path)).c_str()), S_OK);
  // Relative to the current directory: the text after the prefix is the path.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  HRESULT relative = reader->parseURL(L"file:///ok.xml");
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(relative, S_OK);
}

TEST_F(SaxExpatTest, PathIsConvertedWithTheUsersEncoding) {
  std::string saved = setlocale(LC_CTYPE, nullptr);
  if (!setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no UTF-8 locale";
  writeFile("j\xC3\xBCrgen.xml", "<a/>");
  Ref<ISAXXMLReader> reader = newReader();
  HRESULT hr = reader->parseURL((L"file:///" + widen(dir_) + L"/j\u00FCrgen.xml").c_str());
  setlocale(LC_CTYPE, saved.c_str());
  EXPECT_EQ(hr, S_OK);
  // In the "C" locale the name cannot be converted: refused, nothing opened.
  EXPECT_TRUE(FAILED(reader->parseURL((L"file:///" + widen(dir_) + L"/j\u00FCrgen.xml").c_str())));
}

TEST_F(SaxExpatTest, ExternalEntitiesAreNeverLoaded) {
  std::string secret = writeFile("secret.txt", "TOPSECRET<leak/>");
  std::string secretDtd = writeFile("secret.dtd", "<!ENTITY leak \"TOPSECRET\">");
  struct Case {
    const char* what;
    std::string doc;
    HRESULT result;
    std::vector<std::wstring> events;
  };
  const std::vector<Case> cases = {
      {"general entity with an absolute URL",
       "<!DOCTYPE x [<!ENTITY e SYSTEM \"file://" + secret + "\">]><x>&e;</x>",
       E_FAIL,
       {L"locator", L"startDocument", L"start x"}},
      {"general entity with a relative path",
       "<!DOCTYPE x [<!ENTITY e SYSTEM \"secret.txt\">]><x>&e;</x>",
       E_FAIL,
       {L"locator", L"startDocument", L"start x"}},
      {"external DTD",
       "<!DOCTYPE x SYSTEM \"" + secretDtd + "\"><x>&leak;</x>",
       S_OK,
       {L"locator", L"startDocument", L"start x", L"skipped leak", L"end x", L"endDocument"}},
      {"external parameter entity",
       "<!DOCTYPE x [<!ENTITY % p SYSTEM \"" + secretDtd + "\"> %p;]><x>&leak;</x>",
       S_OK,
       {L"locator", L"startDocument", L"start x", L"skipped leak", L"end x", L"endDocument"}},
  };
  for (const Case& c : cases) {
    recorder_ = Ref<Recorder>(new Recorder());
    EXPECT_EQ(parseDocument("hostile.xml", c.doc), c.result) << c.what;
    EXPECT_EQ(recorder_->events, c.events) << c.what;
    EXPECT_EQ(recorder_->text.find(L"TOPSECRET"), std::wstring::npos) << c.what;
  }
}

TEST_F(SaxExpatTest, EntityBombFailsWithoutExhaustingMemory) {
  std::string doc = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
  doc += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
  for (int i = 2; i <= 9; ++i) {
    std::string prev = "&lol" + std::to_string(i - 1) + ";";
    doc += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) doc += prev;
    doc += "\">";
  }
  doc += "]><lolz>&lol9;</lolz>";
  recorder_->recordEvents = false;
  long before = peakResidentKiB();
  EXPECT_TRUE(FAILED(parseDocument("bomb.xml", doc)));
  long growthKiB = peakResidentKiB() - before;
  // Fully expanded it would be three billion characters.
  EXPECT_LT(recorder_->characterCount, 16u * 1024 * 1024);
  EXPECT_LT(growthKiB, 64 * 1024);
  EXPECT_EQ(recorder_->fatalErrors.size(), 1u);
}

TEST_F(SaxExpatTest, LargeDocumentReadsFullyInBoundedMemory) {
  // About 24 MB, written in pieces so that the test itself stays small.
  std::string path = dir_ + "/large.xml";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("<publish><reports>", f);
  const long entries = 200000;
  for (long i = 0; i < entries; ++i) {
    std::fprintf(f,
                 "<report name=\"report-%06ld.rpt\" title=\"Quarterly figures %ld\" "
                 "desc=\"A report that is described at some length, entry %ld\"/>\n",
                 i, i, i);
  }
  std::fputs("</reports></publish>", f);
  std::fclose(f);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  ASSERT_GT(st.st_size, 20L * 1024 * 1024);

  long lastSeen = -1;
  bool inOrder = true;
  recorder_->recordEvents = false;
  recorder_->onStart = [&](const std::wstring& name, ISAXAttributes* attributes) {
    if (name != L"report") return S_OK;
    const wchar_t* value = nullptr;
    int valueLen = 0;
    HRESULT hr = attributes->getValueFromQName(L"name", 4, &value, &valueLen);
    if (hr != S_OK || valueLen != 17) return E_FAIL;
    long number = std::wcstol(value + 7, nullptr, 10);
    if (number != lastSeen + 1) inOrder = false;
    lastSeen = number;
    return S_OK;
  };
  long before = peakResidentKiB();
  EXPECT_EQ(parsePath(path), S_OK);
  long growthKiB = peakResidentKiB() - before;
  EXPECT_EQ(recorder_->elements, entries + 2);
  EXPECT_EQ(lastSeen, entries - 1);
  EXPECT_TRUE(inOrder);
  // Holding the file would take more than 20 MB, its wide text four times that.
  EXPECT_LT(growthKiB, 8 * 1024);
}

TEST_F(SaxExpatTest, InMemoryDocumentParses) {
  std::wstring seen;
  keepNameAttribute(&seen);
  Ref<ISAXXMLReader> reader = newReader();
  ASSERT_TRUE(reader);
  // The text is already characters: its encoding declaration does not apply.
  EXPECT_EQ(
      reader->parse(Variant::fromString(
          L"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><user name=\"J\u00FCrgen \u20AC\"/>")),
      S_OK);
  EXPECT_EQ(seen, std::wstring(L"J\u00FCrgen \u20AC"));
  EXPECT_EQ(recorder_->events.back(), L"endDocument");

  EXPECT_TRUE(FAILED(reader->parse(Variant::fromString(L""))));
  EXPECT_TRUE(FAILED(reader->parse(Variant::fromString(L"<a><b></a>"))));
  EXPECT_TRUE(
      FAILED(reader->parse(Variant::fromString(std::wstring(L"<a>") + wchar_t(0xD800) + L"</a>"))));
  EXPECT_EQ(reader->parse(Variant::fromInt(1)), E_INVALIDARG);
  EXPECT_EQ(reader->parse(Variant()), E_INVALIDARG);
}

TEST_F(SaxExpatTest, LargeInMemoryDocumentParsesAcrossChunks) {
  std::wstring doc = L"<r>";
  for (int i = 0; i < 20000; ++i) doc += L"<e n=\"\u00E9" + std::to_wstring(i) + L"\"/>";
  doc += L"</r>";
  recorder_->recordEvents = false;
  Ref<ISAXXMLReader> reader = newReader();
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->parse(Variant::fromString(doc)), S_OK);
  EXPECT_EQ(recorder_->elements, 20001);
}

TEST_F(SaxExpatTest, ParseStartedFromACallbackIsRefused) {
  Ref<ISAXXMLReader> reader = newReader();
  ASSERT_TRUE(reader);
  ISAXXMLReader* raw = reader.get();  // not a Ref: the reader holds the recorder
  HRESULT nested = S_OK;
  recorder_->onStart = [&](const std::wstring&, ISAXAttributes*) {
    nested = raw->parse(Variant::fromString(L"<b/>"));
    return S_OK;
  };
  EXPECT_EQ(reader->parse(Variant::fromString(L"<a/>")), S_OK);
  EXPECT_TRUE(FAILED(nested));
  recorder_->onStart = nullptr;
}

TEST_F(SaxExpatTest, ParsesWithoutHandlers) {
  Ref<ISAXXMLReader> reader;
  ASSERT_EQ(createInstance(CLSID_SAXXMLReader, CLSCTX_ALL, &reader), S_OK);
  EXPECT_EQ(reader->parse(Variant::fromString(L"<a><b>x</b></a>")), S_OK);
  EXPECT_TRUE(FAILED(reader->parse(Variant::fromString(L"<a>"))));
}

}  // namespace
}  // namespace korva
