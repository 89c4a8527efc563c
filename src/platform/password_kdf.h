// The cryptographic primitives of the embedded server's password records:
// random salt bytes, PBKDF2-HMAC-SHA256, a comparison in constant time and
// the wiping of secrets. The same output on every platform (OpenSSL on
// POSIX, the system's bcrypt.dll on Windows), so a repository written on one
// is read on the other. A library of its own (korva_platform_crypto): only
// the server links it.
//
// Thread-safety: pure functions, safe on any thread.
// Ownership: the caller's buffers only.
#ifndef KORVA_PLATFORM_PASSWORD_KDF_H_
#define KORVA_PLATFORM_PASSWORD_KDF_H_

#include <cstddef>
#include <string>

namespace korva {

// Fills out with n bytes of the system's cryptographic random source.
bool cryptoRandomBytes(unsigned char* out, size_t n);

// PBKDF2 with HMAC-SHA256 of the password's bytes: outLen bytes into out.
// False when the system refuses (an iteration count below 1 included).
bool pbkdf2Sha256(const std::string& password, const unsigned char* salt, size_t saltLen,
                  int iterations, unsigned char* out, size_t outLen);

// Whether the n bytes are equal, in a time that does not depend on where
// they differ.
bool cryptoEqual(const unsigned char* a, const unsigned char* b, size_t n);

// Overwrites a secret so that the compiler cannot drop the write.
void cryptoWipe(void* data, size_t n);

}  // namespace korva

#endif  // KORVA_PLATFORM_PASSWORD_KDF_H_
