// UTF-8 <-> wide text without the C library's locale-dependent converters.
#include "reportserver/text/utf8.h"

#include <cstdint>
#include <type_traits>

namespace korva {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void appendWide(char32_t c, std::wstring* out) {
  if (sizeof(wchar_t) == 2 && c >= 0x10000) {
    c -= 0x10000;
    out->push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    out->push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out->push_back(static_cast<wchar_t>(c));
  }
}

}  // namespace

std::string toUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      char32_t low = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i + 1]));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (isSurrogate(c) || c > 0x10FFFF) c = kReplacement;
    appendUtf8(c, &out);
  }
  return out;
}

std::string toUtf8(const wchar_t* text) {
  return text ? toUtf8(std::wstring(text)) : std::string();
}

// Ill-formed sequences are replaced the usual way: each maximal part of a
// valid sequence, or each stray byte, becomes one U+FFFD.
std::wstring fromUtf8(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      appendWide(b, &out);
      ++i;
      continue;
    }
    int extra;
    char32_t c;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2, c = b & 0x0F;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3, c = b & 0x07;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      appendWide(kReplacement, &out);
      ++i;
      continue;
    }
    size_t j = 1;
    bool complete = true;
    for (; j <= static_cast<size_t>(extra); ++j) {
      if (i + j >= n) {
        complete = false;
        break;
      }
      const unsigned char next = s[i + j];
      const unsigned char lo = j == 1 ? low : 0x80, hi = j == 1 ? high : 0xBF;
      if (next < lo || next > hi) {
        complete = false;
        break;
      }
      c = (c << 6) | (next & 0x3F);
    }
    appendWide(complete ? c : kReplacement, &out);
    i += j;  // an incomplete sequence stops before the byte that broke it
  }
  return out;
}

std::u32string charactersOf(const std::string& text) {
  const std::wstring wide = fromUtf8(text);
  std::u32string out;
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(wide[i]));
    // fromUtf8 pairs its surrogates only where wchar_t is UTF-16.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
      const char32_t low =
          static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(wide[i + 1]));
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    }
    out.push_back(c);
  }
  return out;
}

std::string utf8Of(char32_t c) {
  std::string out;
  appendUtf8(isSurrogate(c) || c > 0x10FFFF ? kReplacement : c, &out);
  return out;
}

}  // namespace korva
