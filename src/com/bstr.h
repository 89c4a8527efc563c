// BSTRs: newBstr, the one way the code makes a BSTR from wide text
// (answering E_OUTOFMEMORY when it cannot), and Bstr, the owner of one,
// which frees it with SysFreeString.
//
// Thread-safety: a Bstr is used by one thread at a time.
// Ownership: a BSTR made by newBstr belongs to the caller (usually handed
// on through an out parameter); a Bstr owns the one it holds.
#ifndef KORVA_COM_BSTR_H_
#define KORVA_COM_BSTR_H_

#include <cstddef>
#include <limits>
#include <string>
#include <utility>

#include "platform/com.h"

namespace korva {

// A new BSTR with the length characters of text (zeros when text is null)
// into *out: S_OK, or E_OUTOFMEMORY with *out null when it cannot be
// allocated (a length beyond what a BSTR holds included).
inline HRESULT newBstr(const OLECHAR* text, size_t length, BSTR* out) {
  *out = length <= std::numeric_limits<UINT>::max()
             ? SysAllocStringLen(text, static_cast<UINT>(length))
             : nullptr;
  return *out ? S_OK : E_OUTOFMEMORY;
}
inline HRESULT newBstr(const std::wstring& text, BSTR* out) {
  return newBstr(text.data(), text.size(), out);
}

class Bstr {
 public:
  Bstr() = default;
  // A copy of the terminated text (null gives a null BSTR, the empty text).
  explicit Bstr(const OLECHAR* text) : b_(text ? SysAllocString(text) : nullptr) {}
  // A copy of length characters; null when it cannot be allocated.
  Bstr(const OLECHAR* text, size_t length) { newBstr(text, length, &b_); }
  explicit Bstr(const std::wstring& text) : Bstr(text.data(), text.size()) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : b_(o.b_) { o.b_ = nullptr; }
  Bstr& operator=(Bstr&& o) noexcept {
    std::swap(b_, o.b_);
    return *this;
  }
  ~Bstr() { SysFreeString(b_); }

  // Frees what is held and answers the slot for an out parameter.
  BSTR* put() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  BSTR get() const { return b_; }
  // For an argument: the callee reads it, the owner keeps it.
  operator BSTR() const { return b_; }  // NOLINT
  UINT length() const { return SysStringLen(b_); }
  std::wstring str() const { return b_ ? std::wstring(b_, length()) : std::wstring(); }
  BSTR detach() {
    BSTR b = b_;
    b_ = nullptr;
    return b;
  }

 private:
  BSTR b_ = nullptr;
};

}  // namespace korva

#endif  // KORVA_COM_BSTR_H_
