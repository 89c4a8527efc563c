// VARIANTs: variantAs<T>, the one reading of a variant's value as the type
// the code expects, and Variant, the owner of one, which clears it (frees
// its text, releases its object) at the end.
//
// variantAs answers the value when the variant holds exactly that type and
// nothing otherwise (a reference, VT_BYREF, included):
//   LONG        VT_I4
//   bool        VT_BOOL (any value but VARIANT_FALSE is true)
//   BSTR        VT_BSTR (the variant's own text, still owned by it)
//   IDispatch*  VT_DISPATCH (no reference added; may be null)
//
// Thread-safety: a Variant is used by one thread at a time.
// Ownership: a Variant owns what it holds; what variantAs answers stays the
// variant's.
#ifndef KORVA_COM_VARIANT_H_
#define KORVA_COM_VARIANT_H_

#include <optional>
#include <string>

#include "com/bstr.h"
#include "platform/com.h"

namespace korva {

// The variant type of a value type and how its value is read: specialised
// for the types variantAs reads.
template <typename T>
struct VariantValue;

template <>
struct VariantValue<LONG> {
  static constexpr VARTYPE kType = VT_I4;
  static LONG of(const VARIANT& v) { return v.lVal; }
};
template <>
struct VariantValue<bool> {
  static constexpr VARTYPE kType = VT_BOOL;
  static bool of(const VARIANT& v) { return v.boolVal != VARIANT_FALSE; }
};
template <>
struct VariantValue<BSTR> {
  static constexpr VARTYPE kType = VT_BSTR;
  static BSTR of(const VARIANT& v) { return v.bstrVal; }
};
template <>
struct VariantValue<IDispatch*> {
  static constexpr VARTYPE kType = VT_DISPATCH;
  static IDispatch* of(const VARIANT& v) { return v.pdispVal; }
};

template <typename T>
std::optional<T> variantAs(const VARIANT& v) {
  if (v.vt != VariantValue<T>::kType) return std::nullopt;
  return VariantValue<T>::of(v);
}

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
  ~Variant() { VariantClear(&v_); }

  static Variant fromInt(LONG value) {
    Variant r;
    r.v_.vt = VT_I4;
    r.v_.lVal = value;
    return r;
  }
  static Variant fromBool(bool value) {
    Variant r;
    r.v_.vt = VT_BOOL;
    r.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
  }
  // VT_BSTR; the variant stays empty when the text cannot be allocated.
  static Variant fromString(const std::wstring& text) {
    Variant r;
    if (SUCCEEDED(newBstr(text, &r.v_.bstrVal))) r.v_.vt = VT_BSTR;
    return r;
  }
  // VT_DISPATCH holding an added reference (null stays a null dispatch).
  static Variant fromObject(IDispatch* object) {
    Variant r;
    r.v_.vt = VT_DISPATCH;
    r.v_.pdispVal = object;
    if (object) object->AddRef();
    return r;
  }

  const VARIANT& get() const { return v_; }
  // For an argument passed by value: the callee reads it, the owner keeps it.
  operator VARIANT() const { return v_; }  // NOLINT

 private:
  VARIANT v_;
};

}  // namespace korva

#endif  // KORVA_COM_VARIANT_H_
