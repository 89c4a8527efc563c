// SHA-256 over the system's Cryptography API: Next Generation (bcrypt.dll):
// an algorithm provider and a hash object of its own per digest.
//
// Thread-safety: each digest has its own handles.
// Ownership: the hash and provider handles are closed with the digest.
#include "platform/win32/windows_api.h"
// windows.h first.
#include <bcrypt.h>

#include "platform/content_digest.h"

namespace korva {

struct Sha256Digest::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;

  void close() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    hash = nullptr;
    algorithm = nullptr;
  }
  ~State() { close(); }
};

namespace {
constexpr ULONG kSha256Bytes = 32;
}  // namespace

Sha256Digest::Sha256Digest() : state_(new State) {
  if (BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
    state_->algorithm = nullptr;
    return;
  }
  // The hash object's memory is bcrypt's own (a null buffer).
  if (BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0) != 0) {
    state_->hash = nullptr;
    state_->close();
  }
}

Sha256Digest::~Sha256Digest() = default;

bool Sha256Digest::valid() const { return state_->hash != nullptr; }

bool Sha256Digest::update(const void* data, size_t n) {
  if (!valid()) return false;
  // bcrypt takes the input as a non-const buffer it only reads, and at most
  // ULONG bytes at a time.
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (n > 0) {
    const ULONG part = n > 0x40000000u ? 0x40000000u : static_cast<ULONG>(n);
    if (BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), part, 0) != 0) return false;
    bytes += part;
    n -= part;
  }
  return true;
}

std::string Sha256Digest::finishHex() {
  if (!valid()) return std::string();
  unsigned char hash[kSha256Bytes];
  const bool done = BCryptFinishHash(state_->hash, hash, kSha256Bytes, 0) == 0;
  state_->close();
  return done ? lowerHex(hash, kSha256Bytes) : std::string();
}

}  // namespace korva
