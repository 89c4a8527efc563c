// The C runtime's multibyte and wide text functions that the string family
// builds on: what one character of 8-bit text is, the conversions between
// 8-bit and wide text, collation and search.
//
// On Windows the characters are those of the process's multibyte code page
// (the C runtime's, _getmbcp: the ANSI code page unless _setmbcp changed
// it), whatever locale the host process selected or did not: a program and
// an installer that loads the library read names alike. Collation is the
// runtime's own (_mbscoll, _mbsicoll), over the same code page; search steps
// by its characters. On POSIX the characters are those of the locale's character type
// (mbrlen, mbstowcs ...); collation is the locale's wide collation (wcscoll).
//
// Thread-safety: safe on any thread while nobody changes the locale or the
// code page.
// Ownership: nothing is kept; every text belongs to the caller.
#ifndef KORVA_PLATFORM_CRT_TEXT_H_
#define KORVA_PLATFORM_CRT_TEXT_H_

#include <cwchar>

namespace korva {
namespace crt {

// Longest character these functions step over.
constexpr int kMaxCharBytes = 6;

// Bytes of the character at p, looking at no more than maxBytes: 0 at the
// terminator, -1 when the bytes start no character or an incomplete one.
int charLength(const char* p, size_t maxBytes);
// The character at p as one wide character; false when it is none.
bool charToWide(const char* p, size_t maxBytes, wchar_t* out);
// The 8-bit form of one wide character into out (room for kMaxCharBytes):
// its length, or -1 when the code page has no such character.
int charFromWide(wchar_t c, char* out);

// mbstowcs and wcstombs: with a null out, the units the converted text
// needs (no terminator); else the text converted into out, which holds
// `room` units, terminated when there is room for it. -1 (as size_t) when
// a character cannot be converted or, with an out, does not fit.
size_t textToWide(wchar_t* out, const char* text, size_t room);
size_t textFromWide(char* out, const wchar_t* text, size_t room);

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
