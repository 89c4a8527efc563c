// Password hashing for the repository's accounts: salted PBKDF2-HMAC-SHA256
// (the platform's: OpenSSL on POSIX, bcrypt.dll on Windows), stored as
// "pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>". Clear passwords are never stored.
//
// Thread-safety: pure functions over thread-safe primitives.
#ifndef KORVA_REPORTSERVER_STORE_PASSWORD_HASH_H_
#define KORVA_REPORTSERVER_STORE_PASSWORD_HASH_H_

#include <string>

namespace korva {

// A new record for the password (UTF-8) with a fresh random salt; false when
// the random source or the hash fails.
bool hashPassword(const std::string& password, std::string* record);

// Whether the password matches the record; compared in constant time. A
// malformed record matches nothing.
bool verifyPassword(const std::string& password, const std::string& record);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_PASSWORD_HASH_H_
