// A small UTF-8 codec for the embedded server: the repository keeps UTF-8
// text, the object model hands out wide text. Independent of the process
// locale. wchar_t holds UTF-32 (POSIX) or UTF-16 (Windows); both are handled.
// Ill-formed input becomes U+FFFD, so a conversion never fails.
//
// Thread-safety: pure functions.
#ifndef KORVA_REPORTSERVER_TEXT_UTF8_H_
#define KORVA_REPORTSERVER_TEXT_UTF8_H_

#include <string>

namespace korva {

std::string toUtf8(const std::wstring& text);
std::string toUtf8(const wchar_t* text);  // null gives ""
std::wstring fromUtf8(const std::string& text);

// The characters of UTF-8 text one by one (ill-formed parts as U+FFFD), and
// the UTF-8 of one character.
std::u32string charactersOf(const std::string& text);
std::string utf8Of(char32_t c);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_TEXT_UTF8_H_
