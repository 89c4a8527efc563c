// The component runtime the engine relies on: result numbers, interface ids,
// the Unknown base with its reference counting, the intrusive Ref<T> holder,
// per-thread initialisation, a process-wide class registry in which servers
// register their factories, a small variant type, and the calling thread's
// last error description (read by a server's error-source object).
//
// Thread-safety: the class registry is guarded by a lock; initialisation
// counts and the error description are per thread. Objects say for themselves.
// Ownership: every reference obtained through an out parameter belongs to the
// caller, who releases it; Ref<T> does that on every path.
#ifndef KORVA_PLATFORM_COM_H_
#define KORVA_PLATFORM_COM_H_

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

namespace korva {

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

inline bool failed(HRESULT hr) { return hr < 0; }
inline bool succeeded(HRESULT hr) { return hr >= 0; }

// A 128-bit class or interface id.
struct Guid {
  uint32_t d1;
  uint16_t d2;
  uint16_t d3;
  uint8_t d4[8];
};
bool operator==(const Guid& a, const Guid& b);
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }
bool operator<(const Guid& a, const Guid& b);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::string toString(const Guid& g);

constexpr Guid kIID_Unknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Base of every interface. Interfaces derive from it virtually, so that one
// object implementing several interfaces holds one count.
class Unknown {
 public:
  virtual unsigned long addRef() = 0;
  virtual unsigned long release() = 0;
  // On success *out holds an added reference to the interface asked for, cast
  // to that interface's type.
  virtual HRESULT queryInterface(const Guid& iid, void** out) = 0;
  static const Guid& iid() { return kIID_Unknown; }

 protected:
  virtual ~Unknown() = default;
};

// Intrusive holder: adds a reference when it copies, releases when it lets go.
template <typename T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}  // NOLINT
  // Takes an added reference to p (p may be null).
  explicit Ref(T* p) : p_(p) {
    if (p_) p_->addRef();
  }
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) p_->addRef();
  }
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  template <typename U>
  Ref(const Ref<U>& o) : p_(o.get()) {  // NOLINT: upcast
    if (p_) p_->addRef();
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
    if (p) p->release();
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

  // Asks the object for interface U; answers the result of queryInterface.
  template <typename U>
  HRESULT query(Ref<U>* out) const {
    if (!p_) return E_POINTER;
    return p_->queryInterface(U::iid(), out->putVoid());
  }

 private:
  T* p_ = nullptr;
};

// Per-thread initialisation: the first call on a thread answers S_OK, later
// ones S_FALSE; each call must be matched by comUninitialize.
HRESULT comInitialize();
void comUninitialize();
int comInitializeCount();  // on the calling thread

// Process-wide class registry. A factory creates an object and answers the
// interface asked for.
using ClassFactory = HRESULT (*)(const Guid& iid, void** out);
void registerClass(const Guid& classId, ClassFactory factory);
void unregisterClass(const Guid& classId);
// CO_E_NOTINITIALIZED when the thread is not initialised, REGDB_E_CLASSNOTREG
// for an unknown class, else the factory's answer.
HRESULT createInstance(const Guid& classId, const Guid& iid, void** out);
template <typename T>
HRESULT createInstance(const Guid& classId, Ref<T>* out) {
  return createInstance(classId, T::iid(), out->putVoid());
}

// The calling thread's last error description.
void setLastErrorDescription(const std::wstring& text);
std::wstring lastErrorDescription();
void clearLastErrorDescription();

// A variant argument: empty, 32-bit integer, boolean, wide string or an object.
class Variant {
 public:
  enum class Type { Empty, Int32, Bool, WString, Object };

  Variant() = default;
  static Variant fromInt(int32_t v);
  static Variant fromBool(bool v);
  static Variant fromString(const std::wstring& v);
  static Variant fromObject(Unknown* v);  // adds a reference, released with the variant

  Type type() const { return type_; }
  int32_t asInt() const { return int_; }
  bool asBool() const { return int_ != 0; }
  const std::wstring& asString() const { return text_; }
  Unknown* asObject() const { return object_.get(); }

 private:
  Type type_ = Type::Empty;
  int32_t int_ = 0;
  std::wstring text_;
  Ref<Unknown> object_;
};

// A reference-counting base for implementations: derive from it and from the
// interfaces, and answer them in queryInterface.
template <typename Derived>
class RefCountedObject {
 protected:
  unsigned long addRefImpl() { return ++count_; }
  unsigned long releaseImpl() {
    unsigned long left = --count_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }
  virtual ~RefCountedObject() = default;

 private:
  std::atomic<unsigned long> count_{0};
};

}  // namespace korva

#endif  // KORVA_PLATFORM_COM_H_
