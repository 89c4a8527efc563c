// The C runtime's multibyte and wide text functions that the string family
// builds on. On Windows they are the runtime's own (_mbscoll, _mbsicoll,
// _mbstrlen, _mbsstr, _wcsupr, _wcslwr), which follow the locale and the
// multibyte code page in force. POSIX has no such functions; there they are
// equivalents over the standard multibyte functions (mbrlen, mbstowcs) and
// the locale's wide collation (wcscoll).
//
// Thread-safety: safe on any thread while nobody changes the locale.
// Ownership: nothing is kept; every text belongs to the caller.
#ifndef KORVA_PLATFORM_CRT_TEXT_H_
#define KORVA_PLATFORM_CRT_TEXT_H_

#include <cwchar>

namespace korva {
namespace crt {

// _mbscoll: the collation order of two terminated multibyte texts in the
// current locale, case significant; negative, 0 or positive. Neither text
// may be null.
int collate(const char* a, const char* b);
// _mbsicoll: the same without regard to letter case.
int collateNoCase(const char* a, const char* b);

// _mbstrlen: the number of characters of a terminated multibyte text; -1
// when it holds a byte sequence that is no character of the locale.
long charCount(const char* text);

// _mbsstr: the first occurrence of sub in text that begins on a character
// boundary, or null. An empty sub is found at the start.
const char* findText(const char* text, const char* sub);

// _wcsupr / _wcslwr of one wide character.
wchar_t upperWide(wchar_t c);
wchar_t lowerWide(wchar_t c);

}  // namespace crt
}  // namespace korva

#endif  // KORVA_PLATFORM_CRT_TEXT_H_
