// PBKDF2-HMAC-SHA256 password records, over the platform's primitives
// (platform/password_kdf.h).
#include "reportserver/store/password_hash.h"

#include <cstdlib>
#include <vector>

#include "platform/content_digest.h"
#include "platform/password_kdf.h"

namespace korva {
namespace {

constexpr int kIterations = 100000;
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;
const char kScheme[] = "pbkdf2-sha256";

bool fromHex(const std::string& hex, std::vector<unsigned char>* out) {
  if (hex.size() % 2 != 0) return false;
  out->clear();
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<unsigned char>(hi * 16 + lo));
  }
  return true;
}

}  // namespace

bool hashPassword(const std::string& password, std::string* record) {
  unsigned char salt[kSaltBytes];
  unsigned char hash[kHashBytes];
  if (!cryptoRandomBytes(salt, sizeof salt)) return false;
  if (!pbkdf2Sha256(password, salt, sizeof salt, kIterations, hash, sizeof hash)) return false;
  *record = std::string(kScheme) + "$" + std::to_string(kIterations) + "$" +
            lowerHex(salt, sizeof salt) + "$" + lowerHex(hash, sizeof hash);
  cryptoWipe(hash, sizeof hash);
  return true;
}

bool verifyPassword(const std::string& password, const std::string& record) {
  size_t a = record.find('$');
  size_t b = a == std::string::npos ? a : record.find('$', a + 1);
  size_t c = b == std::string::npos ? b : record.find('$', b + 1);
  if (c == std::string::npos) return false;
  if (record.substr(0, a) != kScheme) return false;
  std::string iterText = record.substr(a + 1, b - a - 1);
  if (iterText.empty() || iterText.size() > 9 ||
      iterText.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  int iterations = std::atoi(iterText.c_str());
  std::vector<unsigned char> salt, expected;
  if (iterations < 1 || !fromHex(record.substr(b + 1, c - b - 1), &salt) ||
      !fromHex(record.substr(c + 1), &expected) || expected.empty() || salt.empty()) {
    return false;
  }
  std::vector<unsigned char> actual(expected.size());
  if (!pbkdf2Sha256(password, salt.data(), salt.size(), iterations, actual.data(), actual.size())) {
    return false;
  }
  const bool same = cryptoEqual(actual.data(), expected.data(), expected.size());
  cryptoWipe(actual.data(), actual.size());
  return same;
}

}  // namespace korva
