// UTF-8 <-> wide text, see utf8_wide.h.
#include "platform/posix/utf8_wide.h"

#include <cstdint>

namespace korva {
namespace posix {

static_assert(sizeof(wchar_t) == 4, "wide text holds whole code points on POSIX");

namespace {

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

bool appendUtf8AsWide(const char* text, size_t length, std::wstring* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + length;
  while (p < end) {
    unsigned char lead = *p;
    if (lead < 0x80) {
      out->push_back(static_cast<wchar_t>(lead));
      ++p;
      continue;
    }
    size_t extra;
    uint32_t cp;
    uint32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      cp = lead & 0x1F;
      minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      cp = lead & 0x0F;
      minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      cp = lead & 0x07;
      minimum = 0x10000;
    } else {
      return false;
    }
    if (static_cast<size_t>(end - p) <= extra) return false;
    for (size_t i = 1; i <= extra; ++i) {
      if (!isContinuation(p[i])) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out->push_back(static_cast<wchar_t>(cp));
    p += extra + 1;
  }
  return true;
}

bool appendWideAsUtf8(const wchar_t* text, size_t length, std::string* out) {
  for (size_t i = 0; i < length; ++i) {
    uint32_t cp = static_cast<uint32_t>(text[i]);
    if (cp < 0x80) {
      out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      if (cp >= 0xD800 && cp <= 0xDFFF) return false;
      out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp <= 0x10FFFF) {
      out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace posix
}  // namespace korva
