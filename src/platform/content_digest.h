// The SHA-256 digest of a stream of bytes (a report's content), given as
// lower-case hex: OpenSSL on POSIX, the system's bcrypt.dll on Windows, the
// same text on both. Part of korva_platform_crypto, which only the server
// links.
//
// Thread-safety: one digest is used by one thread at a time; separate
// digests are independent.
// Ownership: a digest owns its state (and, on Windows, its algorithm and
// hash handles) and frees it when destroyed.
#ifndef KORVA_PLATFORM_CONTENT_DIGEST_H_
#define KORVA_PLATFORM_CONTENT_DIGEST_H_

#include <cstddef>
#include <memory>
#include <string>

namespace korva {

class Sha256Digest {
 public:
  Sha256Digest();
  ~Sha256Digest();
  Sha256Digest(const Sha256Digest&) = delete;
  Sha256Digest& operator=(const Sha256Digest&) = delete;

  // False when the system could not start a digest; update and finish then
  // fail.
  bool valid() const;
  // Adds n bytes; false when the system refused them.
  bool update(const void* data, size_t n);
  // The digest of everything added, in lower-case hex (64 characters); ""
  // when it failed. Ends the digest.
  std::string finishHex();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// The bytes in lower-case hex, two digits each.
std::string lowerHex(const unsigned char* bytes, size_t n);

}  // namespace korva

#endif  // KORVA_PLATFORM_CONTENT_DIGEST_H_
