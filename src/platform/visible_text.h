// Text made safe to show: every control character written as a visible
// escape, so that a name holding a line end cannot split a log line and one
// holding an escape sequence cannot steer a terminal. The action log writes
// its lines through it, korvaserver its output.
//
// Control characters are the C0 set (U+0000..U+001F), DEL (U+007F) and the
// C1 set (U+0080..U+009F). They are found by character, not by byte: in a
// single-byte code page the bytes 0x80..0x9F may be printable characters
// (0x9B is a closing quotation mark in Windows-1252), while in UTF-8 the C1
// characters are two bytes (U+009B is C2 9B). Where the process's encoding
// reads no character at all (the "C" locale reads only ASCII), the bytes are
// read as UTF-8, as terminals read them. A byte that starts no character
// either way is left alone, unless it lies in 0x80..0x9F, where an 8-bit
// terminal would take it for a C1 control: it is escaped as a byte.
//
// Thread-safety: pure functions; conversions keep their state on the stack.
// Safe while nobody changes the locale.
// Ownership: values only.
#ifndef KORVA_PLATFORM_VISIBLE_TEXT_H_
#define KORVA_PLATFORM_VISIBLE_TEXT_H_

#include <string>

namespace korva {

// How a text's bytes divide into characters.
enum class TextEncoding {
  kProcess,  // the process's multibyte encoding, UTF-8 where it reads none
  kUtf8,     // UTF-8, whatever the locale (the report server's repository)
};

// How a control character is written.
enum class EscapeStyle {
  // A log line: "\n", "\r" and "\t"; other C0 characters, DEL and stray
  // bytes as "\x1b"; C1 characters as "\u009b". Nothing else changes: a text
  // without a control character comes back byte for byte.
  kLog,
  // The body of a JSON string: '"' and '\' escaped too; "\b", "\f", "\n",
  // "\r" and "\t"; every other control character (and a stray byte) as
  // "\u001b" or "\u009b".
  kJson,
};

std::string visibleText(const std::string& text, TextEncoding encoding, EscapeStyle style);

}  // namespace korva

#endif  // KORVA_PLATFORM_VISIBLE_TEXT_H_
