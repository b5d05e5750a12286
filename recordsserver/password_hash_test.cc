#include "password_hash.h"

#include <gtest/gtest.h>

namespace hollin {
namespace {

TEST(PasswordHash, KnownVectors) {
  struct Row {
    const char* what;
    std::string actual;
    const char* expected;
  } rows[] = {
      // FIPS 180-2 examples.
      {"sha256 empty", toHex(sha256("")),
       "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"sha256 abc", toHex(sha256("abc")),
       "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"sha256 two blocks", toHex(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      // RFC 4231 test case 2.
      {"hmac", toHex(hmacSha256("Jefe", "what do ya want for nothing?")),
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      // RFC 7914 section 11, first 32 bytes.
      {"pbkdf2 c=1", toHex(pbkdf2Sha256("passwd", "salt", 1)),
       "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.actual, r.expected) << r.what;
}

TEST(PasswordHash, VerifyAcceptsOnlyTheRightPassword) {
  std::string stored = hashPassword("s3cret");
  EXPECT_EQ(stored.find("s3cret"), std::string::npos);
  EXPECT_TRUE(verifyPassword("s3cret", stored));
  EXPECT_FALSE(verifyPassword("s3cret ", stored));
  EXPECT_FALSE(verifyPassword("", stored));
  // Same password, new salt: a different text that verifies too.
  std::string again = hashPassword("s3cret");
  EXPECT_NE(again, stored);
  EXPECT_TRUE(verifyPassword("s3cret", again));
}

TEST(PasswordHash, MalformedStoredTextNeverMatches) {
  std::string good = hashPassword("pw");
  for (const std::string& bad :
       {std::string(), std::string("pw"), std::string("pbkdf2$"), std::string("pbkdf2$x$00$00"),
        std::string("pbkdf2$0$00$") + std::string(64, '0'), std::string("md5") + good.substr(6),
        good.substr(0, good.size() - 2), good + "0"}) {
    EXPECT_FALSE(verifyPassword("pw", bad)) << bad;
  }
}

TEST(PasswordHash, RandomBytesDiffer) {
  EXPECT_EQ(randomBytes(16).size(), 16u);
  EXPECT_NE(randomBytes(16), randomBytes(16));
}

}  // namespace
}  // namespace hollin
