// Multibyte text helpers of the string family: character lengths and walks
// over the platform's multibyte characters (platform/crt_text.h: the
// process's code page on Windows, the locale's character type on POSIX), the library's
// character-class table for characters from 128 up, and locale collation of multibyte text (case
// significant or not).
//
// Thread-safety: no helper keeps conversion state, so they may run on any
// thread.
// Ownership: nothing is kept; the caller owns every buffer.
#ifndef KORVA_SUPPORT_MBCS_H_
#define KORVA_SUPPORT_MBCS_H_

#include <cstddef>
#include <cwchar>

namespace mbcs {

// Longest multibyte character the string family handles.
constexpr int kMaxCharBytes = 6;

// Length of the character at p, looking at no more than maxBytes (capped at
// 6): -1 when the bytes do not form a valid (or complete) character, 0 for the
// terminator.
int charLength(const char* p, size_t maxBytes = kMaxCharBytes);

// Bytes to step over the character at p before end: its length, or 1 where
// the sequence is invalid. 0 at end or at a zero byte.
int step(const char* p, const char* end);

// Characters from p up to end or the first zero byte.
int countChars(const char* p, const char* end);

// Where the last character before end starts, stepping from p (end for an
// empty text). A zero byte or an invalid one counts as a character of one
// byte. In a double-byte code page the last byte of a text is not always its
// last character.
const char* lastCharStart(const char* p, const char* end);

// The last one-byte character c before end, never the second byte of a
// double-byte character that equals it; null when there is none.
const char* findLastChar(const char* p, const char* end, char c);

// Address of character index i (clamped to the end of the text).
const char* charAt(const char* p, const char* end, int index);

// The character at p as a wide character; false when it is invalid.
bool toWide(const char* p, size_t maxBytes, wchar_t* out);

// Character classes from the library's own table (bits below) or, below 128,
// from the C classification.
enum CharClass { kLetter = 1, kLower = 2, kUpper = 4, kSpace = 8, kPunct = 16, kDigit = 32 };
int charClass(wchar_t c);
bool isWhiteSpace(wchar_t c);
// White space test for the multibyte character at p (invalid bytes are not).
bool isWhiteSpaceAt(const char* p, const char* end);

// Locale collation of multibyte texts (null taken as ""): the sign of the C
// runtime's collation (_mbscoll, platform/crt_text.h).
int collate(const char* a, const char* b);
// The same without regard to letter case; -1, 0 or 1.
int collateNoCase(const char* a, const char* b);

}  // namespace mbcs

#endif  // KORVA_SUPPORT_MBCS_H_
