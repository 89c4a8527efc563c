// The report digest gives the known SHA-256 values (FIPS 180-2's examples
// and the empty input) on every platform, fed whole or in pieces.
#include "platform/content_digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(ContentDigestTest, GivesTheKnownSha256InLowerCaseHex) {
  struct Case {
    std::string data;
    size_t piece;  // bytes per update
    const char* expected;
  };
  const Case cases[] = {
      {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", 3, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 5,
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), 4096,
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data.size());
    korva::Sha256Digest digest;
    ASSERT_TRUE(digest.valid());
    for (size_t at = 0; at < c.data.size(); at += c.piece) {
      ASSERT_TRUE(digest.update(c.data.data() + at, std::min(c.piece, c.data.size() - at)));
    }
    EXPECT_EQ(digest.finishHex(), c.expected);
    // A finished digest takes nothing more.
    EXPECT_FALSE(digest.update("x", 1));
    EXPECT_EQ(digest.finishHex(), "");
  }
}

}  // namespace
