// Conversion between UTF-8 bytes and wide text (wchar_t holds one Unicode
// code point on POSIX). Used by the XML reader, whose parser speaks UTF-8;
// it deliberately does not go through the locale, so a document reads the
// same whatever the user's encoding.
//
// Thread-safety: pure functions. Ownership: results are appended to the
// caller's string.
#ifndef KORVA_PLATFORM_POSIX_UTF8_WIDE_H_
#define KORVA_PLATFORM_POSIX_UTF8_WIDE_H_

#include <cstddef>
#include <string>

namespace korva {
namespace posix {

// Appends the code points of a UTF-8 text to out. False (out then holds a
// partial result) for a malformed, overlong or surrogate sequence.
bool appendUtf8AsWide(const char* text, size_t length, std::wstring* out);

// Appends the UTF-8 form of a wide text to out. False for a surrogate or a
// value beyond U+10FFFF.
bool appendWideAsUtf8(const wchar_t* text, size_t length, std::string* out);

}  // namespace posix
}  // namespace korva

#endif  // KORVA_PLATFORM_POSIX_UTF8_WIDE_H_
