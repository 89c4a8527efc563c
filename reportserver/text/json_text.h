// JSON string literals for korvaserver's output: quotes, backslashes and
// control characters (C0, DEL and the C1 characters U+0080..U+009F, which
// some terminals obey) escaped, everything else (UTF-8 included) passed
// through as it is.
//
// Thread-safety: pure functions.
#ifndef KORVA_REPORTSERVER_TEXT_JSON_TEXT_H_
#define KORVA_REPORTSERVER_TEXT_JSON_TEXT_H_

#include <string>

namespace korva {

// The text as a JSON string literal, with its quotes.
std::string jsonString(const std::string& utf8);
// The same escapes without the quotes.
std::string jsonEscaped(const std::string& utf8);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_TEXT_JSON_TEXT_H_
