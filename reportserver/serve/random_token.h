// Random names that nobody can guess: session tokens and upload ids, from
// OpenSSL's random generator, in lower-case hex.
//
// Thread-safety: safe on any thread.
#ifndef KORVA_REPORTSERVER_SERVE_RANDOM_TOKEN_H_
#define KORVA_REPORTSERVER_SERVE_RANDOM_TOKEN_H_

#include <cstddef>
#include <string>

namespace korva {

// 2 * bytes hex digits; "" when the generator fails.
std::string randomHex(size_t bytes);

// Whether text is made of exactly 2 * bytes lower-case hex digits.
bool isRandomHex(const std::string& text, size_t bytes);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_RANDOM_TOKEN_H_
