// The binary layouts of com.h that the code and its C clients rely on,
// checked at compile time on every platform: against the SDK on Windows,
// against com.h's own declarations elsewhere.
//
// - GUID: 16 bytes, Data1 at 0, Data2 at 4, Data3 at 6, Data4 at 8.
// - VARIANT: the type at 0 and the value at 8; 16 bytes on 32-bit
//   machines, 24 on 64-bit ones.
// - BSTR: the pointer points at the characters; right before them stands
//   the text's byte count, 4 bytes (BstrLengthPrefix), with no gap between.
//
// Thread-safety and ownership: declarations only.
#ifndef KORVA_PLATFORM_COM_LAYOUT_H_
#define KORVA_PLATFORM_COM_LAYOUT_H_

#include <cstddef>
#include <cstdint>

#include "platform/com.h"

namespace korva {

// What stands before a BSTR's characters: their length in bytes.
using BstrLengthPrefix = uint32_t;

namespace com_layout {

static_assert(sizeof(GUID) == 16, "a GUID is 16 bytes");
static_assert(offsetof(GUID, Data1) == 0 && offsetof(GUID, Data2) == 4 &&
                  offsetof(GUID, Data3) == 6 && offsetof(GUID, Data4) == 8,
              "a GUID's members follow one another without gaps");

static_assert(offsetof(VARIANT, vt) == 0, "a VARIANT starts with its type");
static_assert(offsetof(VARIANT, lVal) == 8 && offsetof(VARIANT, bstrVal) == 8 &&
                  offsetof(VARIANT, pdispVal) == 8 && offsetof(VARIANT, boolVal) == 8,
              "a VARIANT's value follows its type and three reserved words");
static_assert(sizeof(VARIANT) == (sizeof(void*) == 4 ? 16 : 24),
              "a VARIANT is 16 bytes on 32-bit machines, 24 on 64-bit ones");

// A BSTR block as the allocator lays it out: the prefix, then the first
// character.
struct BstrBlock {
  BstrLengthPrefix bytes;
  OLECHAR first;
};
static_assert(sizeof(BstrLengthPrefix) == 4 && sizeof(UINT) == 4,
              "a BSTR's length prefix (SysStringByteLen) is 4 bytes");
static_assert(offsetof(BstrBlock, first) == sizeof(BstrLengthPrefix),
              "a BSTR's characters follow its length prefix without a gap");

}  // namespace com_layout
}  // namespace korva

#endif  // KORVA_PLATFORM_COM_LAYOUT_H_
