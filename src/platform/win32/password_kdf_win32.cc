// The password primitives over the system's Cryptography API: Next
// Generation (bcrypt.dll): the system's preferred random source and
// BCryptDeriveKeyPBKDF2 with an HMAC-SHA256 algorithm handle.
//
// Thread-safety: the bcrypt functions are thread-safe; each call opens and
// closes its own algorithm handle.
// Ownership: the algorithm handle is closed on every path.
#include "platform/win32/windows_api.h"
// windows.h first.
#include <bcrypt.h>

#include "platform/password_kdf.h"

namespace korva {
namespace {

// An open HMAC-SHA256 algorithm provider, closed when it goes.
class HmacSha256 {
 public:
  HmacSha256() {
    if (BCryptOpenAlgorithmProvider(&handle_, BCRYPT_SHA256_ALGORITHM, nullptr,
                                    BCRYPT_ALG_HANDLE_HMAC_FLAG) != 0) {
      handle_ = nullptr;
    }
  }
  ~HmacSha256() {
    if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  HmacSha256(const HmacSha256&) = delete;
  HmacSha256& operator=(const HmacSha256&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

}  // namespace

bool cryptoRandomBytes(unsigned char* out, size_t n) {
  return BCryptGenRandom(nullptr, out, static_cast<ULONG>(n), BCRYPT_USE_SYSTEM_PREFERRED_RNG) ==
         0;
}

bool pbkdf2Sha256(const std::string& password, const unsigned char* salt, size_t saltLen,
                  int iterations, unsigned char* out, size_t outLen) {
  if (iterations < 1) return false;
  HmacSha256 algorithm;
  if (!algorithm.get()) return false;
  // bcrypt takes the password and salt as non-const buffers it only reads.
  return BCryptDeriveKeyPBKDF2(
             algorithm.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
             static_cast<ULONG>(password.size()), const_cast<PUCHAR>(salt),
             static_cast<ULONG>(saltLen), static_cast<ULONGLONG>(iterations), out,
             static_cast<ULONG>(outLen), 0) == 0;
}

bool cryptoEqual(const unsigned char* a, const unsigned char* b, size_t n) {
  volatile unsigned char diff = 0;
  for (size_t i = 0; i < n; ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

void cryptoWipe(void* data, size_t n) { SecureZeroMemory(data, n); }

}  // namespace korva
