// Visible escapes for control characters, found character by character.
#include "platform/visible_text.h"

#include <cstdio>
#include <type_traits>

#include "platform/crt_text.h"

namespace korva {
namespace {

constexpr unsigned long kNoCharacter = 0xFFFFFFFFul;

bool isControl(unsigned long c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The UTF-8 character at p (at most n bytes): its length and *code, or 0 when
// the bytes form none (truncated, overlong, a surrogate, beyond U+10FFFF).
size_t utf8Character(const unsigned char* p, size_t n, unsigned long* code) {
  const unsigned char lead = p[0];
  size_t length = 0;
  unsigned long c = 0;
  unsigned long least = 0;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  if (n < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0u) != 0x80u) return 0;
    c = (c << 6) | (p[i] & 0x3Fu);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  *code = c;
  return length;
}

// The character at p in the process's encoding (platform/crt_text.h: the
// locale's on POSIX, the process's code page on Windows): its length and
// *code, or 0.
size_t processCharacter(const char* p, size_t n, unsigned long* code) {
  const int length = crt::charLength(p, n);
  wchar_t wide = 0;
  if (length < 0 || !crt::charToWide(p, n, &wide)) return 0;
  // Only the values below U+00A0 matter here, and a UTF-16 code unit of
  // such a value is the whole character.
  *code = static_cast<unsigned long>(static_cast<std::make_unsigned<wchar_t>::type>(wide));
  return length == 0 ? 1 : static_cast<size_t>(length);  // a zero byte is one byte
}

// The short escape of a character, or null: JSON names two more.
const char* namedEscape(unsigned long c, EscapeStyle style) {
  if (c == '\n') return "\\n";
  if (c == '\r') return "\\r";
  if (c == '\t') return "\\t";
  if (style != EscapeStyle::kJson) return nullptr;
  if (c == '\b') return "\\b";
  if (c == '\f') return "\\f";
  return nullptr;
}

// A control character (or, with isByte, a stray byte) as its escape.
void appendEscape(unsigned long c, bool isByte, EscapeStyle style, std::string* out) {
  const char* named = isByte ? nullptr : namedEscape(c, style);
  if (named) {
    *out += named;
    return;
  }
  char buffer[8];
  if (style == EscapeStyle::kLog && (isByte || c < 0x80)) {
    std::snprintf(buffer, sizeof buffer, "\\x%02lx", c);
  } else {
    std::snprintf(buffer, sizeof buffer, "\\u%04lx", c);
  }
  *out += buffer;
}

// Whether the text can be passed as it is: printable ASCII only (and, for
// JSON, neither quote nor backslash).
bool plain(const std::string& text, EscapeStyle style) {
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c >= 0x7F) return false;
    if (style == EscapeStyle::kJson && (c == '"' || c == '\\')) return false;
  }
  return true;
}

}  // namespace

std::string visibleText(const std::string& text, TextEncoding encoding, EscapeStyle style) {
  if (plain(text, style)) return text;
  std::string out;
  out.reserve(text.size() + 8);
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const size_t left = static_cast<size_t>(end - p);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(p);
    unsigned long code = kNoCharacter;
    size_t length = encoding == TextEncoding::kProcess ? processCharacter(p, left, &code) : 0;
    if (length == 0) length = utf8Character(bytes, left, &code);
    if (length == 0) {
      // A byte that starts no character.
      if (bytes[0] >= 0x80 && bytes[0] <= 0x9F) {
        appendEscape(bytes[0], true, style, &out);
      } else {
        out.push_back(*p);
      }
      ++p;
      continue;
    }
    if (isControl(code)) {
      appendEscape(code, false, style, &out);
    } else if (style == EscapeStyle::kJson && (code == '"' || code == '\\')) {
      out.push_back('\\');
      out.push_back(static_cast<char>(code));
    } else {
      out.append(p, length);
    }
    p += length;
  }
  return out;
}

}  // namespace korva
