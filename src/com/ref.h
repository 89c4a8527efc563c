// Ref<T>: a counted reference to a COM object, which adds a reference when
// it copies and releases when it lets go; and createInstance, which creates
// an object by class id into one.
//
// Thread-safety: a Ref is used by one thread at a time, like a pointer; the
// object's count is the object's business.
// Ownership: a Ref holds one reference of its own; put() and putVoid() hand
// the slot to an out parameter, whose reference the Ref then owns.
#ifndef KORVA_COM_REF_H_
#define KORVA_COM_REF_H_

#include <cstddef>
#include <utility>

#include "com/interface_id.h"
#include "platform/com.h"

namespace korva {

template <typename T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}  // NOLINT
  // Takes an added reference to p (p may be null).
  explicit Ref(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  template <typename U>
  Ref(const Ref<U>& o) : p_(o.get()) {  // NOLINT: upcast
    if (p_) p_->AddRef();
  }
  ~Ref() { reset(); }

  Ref& operator=(const Ref& o) {
    Ref copy(o);
    swap(copy);
    return *this;
  }
  Ref& operator=(Ref&& o) noexcept {
    Ref moved(std::move(o));
    swap(moved);
    return *this;
  }

  // Adopts a reference the caller already owns.
  static Ref adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  // Releases what is held and answers the slot for an out parameter.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  // Empties the holder first, then releases: a release that reaches back
  // into the holder finds it empty.
  void reset() {
    T* p = p_;
    p_ = nullptr;
    if (p) p->Release();
  }
  T* detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  void swap(Ref& o) noexcept { std::swap(p_, o.p_); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Asks the object for interface U by its id; answers QueryInterface's result.
  template <typename U>
  HRESULT query(Ref<U>* out) const {
    out->reset();
    if (!p_) return E_POINTER;
    return p_->QueryInterface(InterfaceId<U>::get(), out->putVoid());
  }

 private:
  T* p_ = nullptr;
};

// Creates an object of the class and asks it for interface T.
template <typename T>
HRESULT createInstance(REFCLSID classId, DWORD context, Ref<T>* out) {
  return CoCreateInstance(classId, nullptr, context, InterfaceId<T>::get(), out->putVoid());
}

}  // namespace korva

#endif  // KORVA_COM_REF_H_
