// The hex spelling shared by both digest implementations.
//
// Thread-safety: a pure function.
#include "platform/content_digest.h"

namespace korva {

std::string lowerHex(const unsigned char* bytes, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    hex.push_back(digits[bytes[i] >> 4]);
    hex.push_back(digits[bytes[i] & 15]);
  }
  return hex;
}

}  // namespace korva
