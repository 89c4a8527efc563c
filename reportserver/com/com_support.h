// Helpers shared by the server's objects: the calling thread's last error
// description (read by the error source) and answering a failure with it,
// texts at the interface, the common start of every method (the operation's
// fault, then its null arguments: enterMethod), of QueryInterface (null check
// and the "queryInterface:<Interface>" fault) and of a class factory (null
// check and the "create:<Class>" fault), and a registry that recognises the
// server's own objects among the pointers a client hands back.
//
// Thread-safety: the description is per thread; the registry is locked.
#ifndef KORVA_REPORTSERVER_COM_COM_SUPPORT_H_
#define KORVA_REPORTSERVER_COM_COM_SUPPORT_H_

#include <mutex>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "com/refcounted_object.h"
#include "platform/com.h"

namespace korva {

// The calling thread's last error description.
void setLastErrorDescription(const std::wstring& text);
std::wstring lastErrorDescription();
void clearLastErrorDescription();

// Leaves the description (UTF-8) for the error source and answers hr.
HRESULT failWith(HRESULT hr, const std::string& description);

// E_POINTER with a description naming the operation, for a null argument.
HRESULT nullArgument(const char* operation);

// The start of a method, which names its operation once: E_FAIL when the
// fault plan makes the operation fail; else E_POINTER (nullArgument) when
// one of the pointers is null; else S_OK, with every out-pointer among them
// (a pointer to a pointer: an object's or a BSTR's slot) cleared. Used as
//   if (HRESULT hr = enterMethod("query", text, out); FAILED(hr)) return hr;
HRESULT enterMethodChecks(const char* operation, bool argumentsPresent);

namespace method_entry {
template <typename T>
void clearOut(T*) {}
template <typename T>
void clearOut(T** out) {
  *out = nullptr;
}
}  // namespace method_entry

template <typename... Pointers>
HRESULT enterMethod(const char* operation, Pointers... arguments) {
  static_assert((std::is_pointer<Pointers>::value && ...), "enterMethod checks pointers");
  const HRESULT hr = enterMethodChecks(operation, ((arguments != nullptr) && ...));
  if (hr == S_OK) (method_entry::clearOut(arguments), ...);
  return hr;
}

// A text argument as UTF-8, or as wide text (a BSTR's characters up to its
// terminator; null is the empty text).
std::string textOf(BSTR text);
std::wstring wideOf(BSTR text);

// Hands out the UTF-8 text as a new BSTR (newBstr); E_OUTOFMEMORY when it
// cannot be allocated.
HRESULT answerText(const std::string& text, BSTR* out);

// The interface's name ("InfoStore", "UserObject", ...) or "" for an id the
// server does not answer.
std::string interfaceName(REFIID iid);

// S_OK when QueryInterface may go on; E_POINTER for a null out, or
// E_NOINTERFACE when the fault plan makes this call fail. Clears *out.
HRESULT beginQueryInterface(REFIID iid, void** out);

// Hands out p as the answer of QueryInterface (adds a reference).
template <typename I>
HRESULT answerInterface(I* p, void** out) {
  if (!p) return E_NOINTERFACE;
  p->AddRef();
  *out = p;
  return S_OK;
}

// QueryInterface of an object that names its interfaces in
// interfaceFor(iid), for QueryInterface and its class factory alike.
template <typename T>
HRESULT queryInterfaceOf(T* object, REFIID iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (FAILED(hr)) return hr;
  IUnknown* p = object->interfaceFor(iid);
  if (!p) return E_NOINTERFACE;
  p->AddRef();
  *out = p;
  return S_OK;
}

// IUnknown and IDispatch of an object's interface I: the identity every
// object answers beside the interfaces of its own.
template <typename I>
IUnknown* dispatchInterface(I* self, REFIID iid) {
  if (iid == IID_IUnknown || iid == IID_IDispatch) return self;
  return nullptr;
}

// A server object with one interface table (Interface, a stub of
// interface_stubs.h): one count, and QueryInterface answering what
// Derived::interfaceFor names (IUnknown and IDispatch unless Derived declares
// an interfaceFor of its own).
template <typename Derived, typename Interface>
class ServerObject : public Interface, public RefCountedObject<Derived> {
 public:
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return queryInterfaceOf(static_cast<Derived*>(this), iid, out);
  }
  IUnknown* interfaceFor(REFIID iid) { return dispatchInterface(this, iid); }
};

// S_OK when a class factory may go on; E_POINTER for a null out,
// CLASS_E_NOAGGREGATION for an outer object, or E_FAIL when the fault plans,
// read again first, make "create:<className>" fail. Clears *out.
HRESULT beginCreate(IUnknown* outer, void** out, const char* className);

// The server's objects of one kind by the interface pointer they hand out:
// each holds an Entry, which enters it when made and leaves when destroyed,
// so a pointer a client hands back is recognised without touching a foreign
// object.
template <typename Impl>
class OwnObjects {
 public:
  class Entry {
   public:
    Entry(const void* handedOut, Impl* object) : key_(handedOut) { enter(handedOut, object); }
    ~Entry() { leave(key_); }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

   private:
    const void* key_;
  };

  static void enter(const void* handedOut, Impl* object) {
    std::lock_guard<std::mutex> guard(lock());
    table()[handedOut] = object;
  }
  static void leave(const void* handedOut) {
    std::lock_guard<std::mutex> guard(lock());
    table().erase(handedOut);
  }
  // Null for a pointer that is not one of ours.
  static Impl* find(const void* handedOut) {
    std::lock_guard<std::mutex> guard(lock());
    auto it = table().find(handedOut);
    return it == table().end() ? nullptr : it->second;
  }

 private:
  static std::mutex& lock() {
    static std::mutex m;
    return m;
  }
  static std::unordered_map<const void*, Impl*>& table() {
    static auto* t = new std::unordered_map<const void*, Impl*>();
    return *t;
  }
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_COM_SUPPORT_H_
