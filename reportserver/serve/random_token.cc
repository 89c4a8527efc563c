// Random tokens from OpenSSL.
#include "reportserver/serve/random_token.h"

#include <openssl/rand.h>

#include <vector>

namespace korva {

std::string randomHex(size_t bytes) {
  std::vector<unsigned char> raw(bytes);
  if (RAND_bytes(raw.data(), static_cast<int>(raw.size())) != 1) return std::string();
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes * 2);
  for (unsigned char b : raw) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 15]);
  }
  return text;
}

bool isRandomHex(const std::string& text, size_t bytes) {
  if (text.size() != bytes * 2) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace korva
