// The reference-counting base of the code's COM objects: derive from
// RefCountedObject<Derived> and from the interfaces, answer them in
// QueryInterface, and define AddRef and Release with
// KORVA_REFCOUNTED_UNKNOWN. An object has one count, whatever the number of
// its interfaces; every live object counts as a use of its module.
//
// Thread-safety: the count is atomic; the object deletes itself on the
// thread that lets the last reference go.
// Ownership: the count starts at 0 and the first Ref takes the first
// reference; the last Release deletes the object.
#ifndef KORVA_COM_REFCOUNTED_OBJECT_H_
#define KORVA_COM_REFCOUNTED_OBJECT_H_

#include <atomic>

#include "com/module_use.h"
#include "platform/com.h"

namespace korva {

template <typename Derived>
class RefCountedObject {
 protected:
  RefCountedObject() { ++moduleUseCount(); }
  RefCountedObject(const RefCountedObject&) : RefCountedObject() {}
  RefCountedObject& operator=(const RefCountedObject&) { return *this; }
  ULONG addRefImpl() { return ++count_; }
  ULONG releaseImpl() {
    ULONG left = --count_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }
  virtual ~RefCountedObject() { --moduleUseCount(); }

 private:
  std::atomic<ULONG> count_{0};
};

}  // namespace korva

// AddRef and Release over RefCountedObject, for a class deriving from both.
#define KORVA_REFCOUNTED_UNKNOWN                                           \
  ULONG STDMETHODCALLTYPE AddRef() override { return this->addRefImpl(); } \
  ULONG STDMETHODCALLTYPE Release() override { return this->releaseImpl(); }

#endif  // KORVA_COM_REFCOUNTED_OBJECT_H_
