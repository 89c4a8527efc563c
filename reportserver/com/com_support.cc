// The error description, failure answers, texts, and the QueryInterface and
// class factory preambles.
#include "reportserver/com/com_support.h"

#include <algorithm>
#include <type_traits>

#include "com/bstr.h"
#include "reportserver/testing/fault_injection.h"
#include "reportserver/text/utf8.h"
#include "server/report_server.h"

namespace korva {
namespace {

// The calling thread's description, in storage that needs nothing done when
// the thread ends. A thread-local object with a destructor would have the C++
// runtime hold the server's library loaded until the thread's end, and then
// release it from inside that end: where the library is a DLL that a thread
// of another program's (an installer's custom action) used, the last
// release would unload the DLL while the thread is leaving, and the thread
// would never finish. A longer description is cut at the end.
constexpr size_t kMaxDescription = 8191;
struct LastError {
  size_t length;
  wchar_t text[kMaxDescription];
};
static_assert(std::is_trivially_destructible<LastError>::value,
              "the thread's description must need no clean-up at the thread's end");
thread_local LastError tLastError;

}  // namespace

void setLastErrorDescription(const std::wstring& text) {
  tLastError.length = std::min(text.size(), kMaxDescription);
  std::copy_n(text.data(), tLastError.length, tLastError.text);
}
std::wstring lastErrorDescription() { return std::wstring(tLastError.text, tLastError.length); }
void clearLastErrorDescription() { tLastError.length = 0; }

HRESULT failWith(HRESULT hr, const std::string& description) {
  setLastErrorDescription(fromUtf8(description));
  return hr;
}

HRESULT nullArgument(const char* operation) {
  return failWith(E_POINTER, std::string("A null pointer was passed to ") + operation + ".");
}

HRESULT enterMethodChecks(const char* operation, bool argumentsPresent) {
  if (injectFault(operation)) return E_FAIL;
  if (!argumentsPresent) return nullArgument(operation);
  return S_OK;
}

std::string textOf(BSTR text) { return toUtf8(static_cast<const wchar_t*>(text)); }

std::wstring wideOf(BSTR text) { return text ? std::wstring(text) : std::wstring(); }

HRESULT answerText(const std::string& text, BSTR* out) {
  // Titles are mostly plain ASCII: widened straight into the answer.
  bool ascii = true;
  for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    const HRESULT hr = newBstr(nullptr, text.size(), out);
    if (FAILED(hr)) return hr;
    for (size_t i = 0; i < text.size(); ++i) (*out)[i] = static_cast<unsigned char>(text[i]);
    return S_OK;
  }
  return newBstr(fromUtf8(text), out);
}

std::string interfaceName(REFIID iid) {
  struct Entry {
    const IID* iid;
    const char* name;
  };
  static const Entry kNames[] = {
      {&IID_IUnknown, "Unknown"},
      {&IID_IDispatch, "Dispatch"},
      {&IID_SessionManager, "SessionManager"},
      {&IID_InfoStore, "InfoStore"},
      {&IID_UserObject, "UserObject"},
      {&IID_ReportObject, "ReportObject"},
      {&IID_ErrorSource, "ErrorSource"},
  };
  for (const Entry& e : kNames) {
    if (*e.iid == iid) return e.name;
  }
  return std::string();
}

HRESULT beginQueryInterface(REFIID iid, void** out) {
  if (!out) return nullArgument("QueryInterface");
  *out = nullptr;
  std::string name = interfaceName(iid);
  if (!name.empty() && injectFault("queryInterface:" + name)) return E_NOINTERFACE;
  return S_OK;
}

HRESULT beginCreate(IUnknown* outer, void** out, const char* className) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  refreshPlansFromEnvironment();
  if (injectFault(std::string("create:") + className)) return E_FAIL;
  return S_OK;
}

}  // namespace korva
