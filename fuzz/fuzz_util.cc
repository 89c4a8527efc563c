// Helpers shared by the fuzz targets (see fuzz_util.h).
#include "fuzz/fuzz_util.h"

#include <cstdio>
#include <cstdlib>

namespace korva_fuzz {

void checkFailed(const char* file, int line, const char* condition, const std::string& detail) {
  std::fprintf(stderr, "%s:%d: expectation failed: %s\n  %s\n", file, line, condition,
               detail.c_str());
  std::fflush(stderr);
  std::abort();
}

uint8_t FuzzInput::byte() { return pos_ < size_ ? data_[pos_++] : 0; }

int FuzzInput::below(int bound) {
  if (bound <= 0) return 0;
  unsigned value = byte();
  if (bound > 256) value = (value << 8) | byte();
  return static_cast<int>(value % static_cast<unsigned>(bound));
}

std::string FuzzInput::text(size_t maxLength) {
  size_t length = byte();
  if (length > maxLength) length = maxLength;
  if (length > remaining()) length = remaining();
  std::string out(reinterpret_cast<const char*>(data_ + pos_), length);
  pos_ += length;
  return out;
}

std::string FuzzInput::rest() {
  std::string out(reinterpret_cast<const char*>(data_ + pos_), size_ - pos_);
  pos_ = size_;
  return out;
}

std::wstring decodeUtf8Lenient(const std::string& bytes) {
  static const unsigned long kMin[4] = {0, 0x80, 0x800, 0x10000};
  std::wstring out;
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const size_t extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 && c < 0xF0 ? 2
                         : c >= 0xC2 && c < 0xE0 ? 1 : 0;
    unsigned long value = c;
    bool ok = extra > 0 && i + extra < n;
    if (ok) {
      value = c & (0x3Fu >> extra);
      for (size_t k = 1; k <= extra && ok; ++k) {
        const unsigned char t = static_cast<unsigned char>(bytes[i + k]);
        ok = (t & 0xC0) == 0x80;
        value = (value << 6) | (t & 0x3F);
      }
      // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
      ok = ok && value >= kMin[extra] && !(value >= 0xD800 && value < 0xE000) && value <= 0x10FFFF;
    }
    if (ok) {
      out.push_back(static_cast<wchar_t>(value));
      i += extra + 1;
    } else {
      out.push_back(static_cast<wchar_t>(c));
      ++i;
    }
  }
  return out;
}

std::string printable(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out + "\"";
}

std::string printable(const std::wstring& text) {
  std::string out = "L\"";
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F && c != L'"' && c != L'\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[16];
      std::snprintf(buf, sizeof buf, "\\u{%lx}", static_cast<unsigned long>(c));
      out += buf;
    }
  }
  return out + "\"";
}

}  // namespace korva_fuzz
