// The password primitives over OpenSSL's libcrypto.
//
// Thread-safety: OpenSSL's functions used here are thread-safe.
// Ownership: none.
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include "platform/password_kdf.h"

namespace korva {

bool cryptoRandomBytes(unsigned char* out, size_t n) {
  return RAND_bytes(out, static_cast<int>(n)) == 1;
}

bool pbkdf2Sha256(const std::string& password, const unsigned char* salt, size_t saltLen,
                  int iterations, unsigned char* out, size_t outLen) {
  if (iterations < 1) return false;
  return PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt,
                           static_cast<int>(saltLen), iterations, EVP_sha256(),
                           static_cast<int>(outLen), out) == 1;
}

bool cryptoEqual(const unsigned char* a, const unsigned char* b, size_t n) {
  return CRYPTO_memcmp(a, b, n) == 0;
}

void cryptoWipe(void* data, size_t n) { OPENSSL_cleanse(data, n); }

}  // namespace korva
