// SHA-256 over OpenSSL's EVP digest interface.
//
// Thread-safety: each digest has its own context.
// Ownership: the context is freed with the digest.
#include <openssl/evp.h>

#include "platform/content_digest.h"

namespace korva {

struct Sha256Digest::State {
  struct Free {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
  };
  std::unique_ptr<EVP_MD_CTX, Free> context;
};

Sha256Digest::Sha256Digest() : state_(new State) {
  state_->context.reset(EVP_MD_CTX_new());
  if (state_->context && EVP_DigestInit_ex(state_->context.get(), EVP_sha256(), nullptr) != 1) {
    state_->context.reset();
  }
}

Sha256Digest::~Sha256Digest() = default;

bool Sha256Digest::valid() const { return state_->context != nullptr; }

bool Sha256Digest::update(const void* data, size_t n) {
  return valid() && EVP_DigestUpdate(state_->context.get(), data, n) == 1;
}

std::string Sha256Digest::finishHex() {
  if (!valid()) return std::string();
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const bool done = EVP_DigestFinal_ex(state_->context.get(), hash, &length) == 1;
  state_->context.reset();
  return done ? lowerHex(hash, length) : std::string();
}

}  // namespace korva
