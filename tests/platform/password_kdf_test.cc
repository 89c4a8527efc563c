// The password primitives give the same bytes on every platform: known
// PBKDF2-HMAC-SHA256 outputs (one from RFC 7914, the others of the same
// function), the empty password the server's default account has, a refused
// iteration count, fresh random bytes, and the comparison.
#include "platform/password_kdf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string hex(const std::vector<unsigned char>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

TEST(PasswordKdfTest, Pbkdf2Sha256GivesTheKnownBytes) {
  struct Case {
    std::string password, salt;
    int iterations;
    size_t length;
    const char* expected;
  };
  const Case cases[] = {
      {"passwd", "salt", 1, 64,
       "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
       "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
      {"", "0123456789abcdef", 1000, 32,
       "d52a3016f73233c5a658a1399b0d6613a4b35a14eb424235a332df163429bd8e"},
      {"caf\xc3\xa9", "salt", 2, 32,
       "2034af7ab20f2b5e607a01a7e8c2da21982b42b056da504f215b7a717ff97635"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.password + " " + std::to_string(c.iterations));
    std::vector<unsigned char> out(c.length);
    ASSERT_TRUE(korva::pbkdf2Sha256(c.password,
                                    reinterpret_cast<const unsigned char*>(c.salt.data()),
                                    c.salt.size(), c.iterations, out.data(), out.size()));
    EXPECT_EQ(hex(out), c.expected);
  }
  unsigned char out[32];
  const unsigned char salt[] = {1, 2, 3};
  EXPECT_FALSE(korva::pbkdf2Sha256("x", salt, sizeof salt, 0, out, sizeof out));
}

TEST(PasswordKdfTest, RandomBytesDifferAndComparisonSeesEveryByte) {
  std::vector<unsigned char> a(32), b(32);
  ASSERT_TRUE(korva::cryptoRandomBytes(a.data(), a.size()));
  ASSERT_TRUE(korva::cryptoRandomBytes(b.data(), b.size()));
  EXPECT_NE(a, b);
  EXPECT_FALSE(korva::cryptoEqual(a.data(), b.data(), a.size()));
  b = a;
  EXPECT_TRUE(korva::cryptoEqual(a.data(), b.data(), a.size()));
  b.back() ^= 1;
  EXPECT_FALSE(korva::cryptoEqual(a.data(), b.data(), a.size()));
  korva::cryptoWipe(a.data(), a.size());
  EXPECT_EQ(a, std::vector<unsigned char>(32, 0));
}

}  // namespace
