// The reading of variants (variantAs: the value only for exactly the type
// asked for) and the making of BSTRs (newBstr: the text behind its 4-byte
// byte count, or E_OUTOFMEMORY), on the platform's own runtime.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "com/bstr.h"
#include "com/variant.h"

namespace {

using korva::Variant;
using korva::variantAs;

TEST(VariantAs, AnswersOnlyTheTypeItHolds) {
  struct Case {
    const char* name;
    Variant value;
    bool isLong, isBool, isText, isObject;
  };
  std::vector<Case> cases;
  cases.push_back({"VT_I4", Variant::fromInt(-7), true, false, false, false});
  cases.push_back({"VT_BOOL", Variant::fromBool(false), false, true, false, false});
  cases.push_back({"VT_BSTR", Variant::fromString(L"7"), false, false, true, false});
  cases.push_back({"VT_DISPATCH", Variant::fromObject(nullptr), false, false, false, true});
  cases.push_back({"VT_EMPTY", Variant(), false, false, false, false});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const VARIANT& v = c.value.get();
    EXPECT_EQ(variantAs<LONG>(v).has_value(), c.isLong);
    EXPECT_EQ(variantAs<bool>(v).has_value(), c.isBool);
    EXPECT_EQ(variantAs<BSTR>(v).has_value(), c.isText);
    EXPECT_EQ(variantAs<IDispatch*>(v).has_value(), c.isObject);
  }
  EXPECT_EQ(variantAs<LONG>(cases[0].value.get()), -7);
  EXPECT_EQ(variantAs<bool>(cases[1].value.get()), false);
  EXPECT_EQ(std::wstring(*variantAs<BSTR>(cases[2].value.get())), L"7");
  EXPECT_EQ(variantAs<IDispatch*>(cases[3].value.get()), nullptr);
}

TEST(VariantAs, ReadsAnyTrueBooleanAndNoReference) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = 1;  // not VARIANT_TRUE, still true
  EXPECT_EQ(variantAs<bool>(v), true);
  LONG value = 5;
  v.vt = VT_I4 | VT_BYREF;
  v.byref = &value;
  EXPECT_FALSE(variantAs<LONG>(v).has_value());
}

TEST(NewBstr, PutsTheByteCountRightBeforeTheText) {
  BSTR text = nullptr;
  ASSERT_EQ(korva::newBstr(std::wstring(L"ab\0c", 4), &text), S_OK);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 4u);
  uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<const char*>(text) - sizeof bytes, sizeof bytes);
  EXPECT_EQ(bytes, 4 * sizeof(OLECHAR));
  EXPECT_EQ(text[2], L'\0');
  EXPECT_EQ(text[3], L'c');
  EXPECT_EQ(text[4], L'\0');
  SysFreeString(text);
}

TEST(NewBstr, RefusesALengthNoBstrHolds) {
  if (sizeof(size_t) <= sizeof(UINT)) GTEST_SKIP() << "every length fits";
  BSTR text = reinterpret_cast<BSTR>(&text);
  const size_t tooLong = static_cast<size_t>(std::numeric_limits<UINT>::max()) + 1;
  EXPECT_EQ(korva::newBstr(nullptr, tooLong, &text), E_OUTOFMEMORY);
  EXPECT_EQ(text, nullptr);
}

}  // namespace
