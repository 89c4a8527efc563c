// Helpers shared by the server's objects: answering a failure with its
// description, the reference counting boilerplate, the common start of
// queryInterface (null check and the "queryInterface:<Interface>" fault) and
// of a class factory (null check and the "create:<Class>" fault).
//
// Thread-safety: the description goes to the calling thread's slot.
#ifndef KORVA_REPORTSERVER_COM_SUPPORT_H_
#define KORVA_REPORTSERVER_COM_SUPPORT_H_

#include <string>

#include "platform/com.h"

namespace korva {

// Leaves the description (UTF-8) for the error source and answers hr.
HRESULT failWith(HRESULT hr, const std::string& description);

// E_POINTER with a description naming the operation, for a null argument.
HRESULT nullArgument(const char* operation);

// The interface's name ("InfoStore", "UserObject", ...) or "" for an id the
// server does not know.
std::string interfaceName(const Guid& iid);

// S_OK when queryInterface may go on; E_POINTER for a null out, or
// E_NOINTERFACE when the fault plan makes this call fail. Clears *out.
HRESULT beginQueryInterface(const Guid& iid, void** out);

// Hands out p as the answer of queryInterface (adds a reference).
template <typename I>
HRESULT answerInterface(I* p, void** out) {
  if (!p) return E_NOINTERFACE;
  p->addRef();
  *out = p;
  return S_OK;
}

// The same for an object that names its interfaces in interfaceFor(iid), for
// queryInterface and its class factory alike.
template <typename T>
HRESULT answerInterfaceOf(T* object, const Guid& iid, void** out) {
  void* p = object->interfaceFor(iid);
  if (!p) return E_NOINTERFACE;
  object->addRef();
  *out = p;
  return S_OK;
}

// S_OK when a class factory may go on; E_POINTER for a null out, or E_FAIL
// when the fault plans, read again first, make "create:<className>" fail.
// Clears *out.
HRESULT beginCreate(void** out, const char* className);

}  // namespace korva

// addRef/release over RefCountedObject, for a class deriving from both.
#define KORVA_REFCOUNTED_UNKNOWN                           \
  unsigned long addRef() override { return addRefImpl(); } \
  unsigned long release() override { return releaseImpl(); }

#endif  // KORVA_REPORTSERVER_COM_SUPPORT_H_
