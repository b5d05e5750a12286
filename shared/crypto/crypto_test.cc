// Known-answer vectors for the hashes and the behaviour of the helpers.
#include "shared/crypto/crypto.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "shared/crypto/random_fault.h"

namespace qel::crypto {
namespace {

using testing::RandomScript;
using testing::RandomStep;

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

std::string counting(size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<char>(i));
  return out;
}

// Rows marked "computed" were checked against an independent implementation;
// they sit on the padding and key-size boundaries that the published vectors
// miss.
TEST(CryptoTest, KnownVectors) {
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
      {"sha256 448 bits, two blocks",
       toHex(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"sha256 one million a", toHex(sha256(std::string(1000000, 'a'))),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      // NIST example message of 896 bits.
      {"sha256 896 bits",
       toHex(sha256("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                    "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu")),
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      // Computed: either side of 56 bytes, where the length no longer fits the
      // last block, and of a whole block.
      {"sha256 55 bytes", toHex(sha256(std::string(55, 'a'))),
       "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {"sha256 56 bytes", toHex(sha256(std::string(56, 'a'))),
       "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {"sha256 63 bytes", toHex(sha256(std::string(63, 'a'))),
       "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {"sha256 64 bytes", toHex(sha256(std::string(64, 'a'))),
       "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {"sha256 65 bytes", toHex(sha256(std::string(65, 'a'))),
       "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
      {"sha256 119 bytes", toHex(sha256(std::string(119, 'a'))),
       "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},

      // RFC 4231 test cases 1, 2, 6 and 7.
      {"hmac rfc4231 1", toHex(hmacSha256(std::string(20, '\x0b'), "Hi There")),
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"hmac rfc4231 2", toHex(hmacSha256("Jefe", "what do ya want for nothing?")),
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {"hmac rfc4231 6, key longer than the block",
       toHex(hmacSha256(std::string(131, '\xaa'),
                        "Test Using Larger Than Block-Size Key - Hash Key First")),
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
      {"hmac rfc4231 7, key and data longer than the block",
       toHex(hmacSha256(std::string(131, '\xaa'),
                        "This is a test using a larger than block-size key and a larger than "
                        "block-size data. The key needs to be hashed before being used by the "
                        "HMAC algorithm.")),
       "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
      // Computed: a key of exactly one block is used as it is, one byte more is hashed.
      {"hmac 64-byte key", toHex(hmacSha256(counting(64), "block-size key")),
       "1dad230598e011a4e4eabc6c8da8f55ef9a66a8881d1e16e23ea116ae28231ec"},
      {"hmac 65-byte key", toHex(hmacSha256(counting(65), "block-size key")),
       "d0b754c1861695b26bca3bd3a8581ef73f46ba28ada969cf73dbdb39d991eb2d"},

      // RFC 6070's inputs with HMAC-SHA256 (widely published answers).
      {"pbkdf2 c=1", toHex(pbkdf2Sha256("password", "salt", 1, 32)),
       "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b"},
      {"pbkdf2 c=2", toHex(pbkdf2Sha256("password", "salt", 2, 32)),
       "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43"},
      {"pbkdf2 c=4096", toHex(pbkdf2Sha256("password", "salt", 4096, 32)),
       "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
      {"pbkdf2 40 bytes, part of a second block",
       toHex(pbkdf2Sha256("passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt",
                          4096, 40)),
       "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9"},
      // RFC 7914 section 11; the records server takes the first 32 bytes.
      {"pbkdf2 rfc7914 1, first block", toHex(pbkdf2Sha256("passwd", "salt", 1, 32)),
       "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"},
      {"pbkdf2 rfc7914 1, two blocks", toHex(pbkdf2Sha256("passwd", "salt", 1, 64)),
       "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
       "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
      {"pbkdf2 rfc7914 2", toHex(pbkdf2Sha256("Password", "NaCl", 80000, 64)),
       "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
       "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
      // Computed: NUL bytes are data, a password longer than the block is
      // hashed first, and odd lengths cut the last block.
      {"pbkdf2 NUL bytes",
       toHex(pbkdf2Sha256(std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16)),
       "89b69d0516f829893c696226650a8687"},
      {"pbkdf2 100-byte password", toHex(pbkdf2Sha256(std::string(100, 'p'), "salt", 2, 32)),
       "7fb39a0c2291de62231e50ab5f6805b83bab97446d73dccf38114fb21c055427"},
      {"pbkdf2 1 byte", toHex(pbkdf2Sha256("password", "salt", 1, 1)), "12"},
      {"pbkdf2 33 bytes", toHex(pbkdf2Sha256("password", "salt", 3, 33)),
       "ad35240ac683febfaf3cd49d845473fbbbaa2437f5f82d5a415ae00ac76c6bfccf"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.actual, r.expected) << r.what;
}

TEST(CryptoTest, ToHex) {
  struct Row {
    std::string in;
    const char* expected;
  } rows[] = {
      {"", ""},
      {bytes({0x00}), "00"},
      {bytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef}), "0123456789abcdef"},
      {bytes({0xff, 0x10, 0x0f, 0x80}), "ff100f80"},
  };
  for (const Row& r : rows) EXPECT_EQ(toHex(r.in), r.expected) << r.expected;
}

TEST(CryptoTest, ConstantTimeEqual) {
  const std::string nul("a\0b", 3);
  struct Row {
    std::string a, b;
    bool equal;
  } rows[] = {
      {"", "", true},
      {"abc", "abc", true},
      {nul, nul, true},
      {"abc", "abd", false},           // last byte
      {"xbc", "abc", false},           // first byte
      {"abc", "ab", false},            // prefix
      {"", "a", false},
      {nul, std::string("a\0c", 3), false},  // after a NUL
      {"\x80", "\x00", false},         // high bit only
  };
  for (const Row& r : rows) {
    EXPECT_EQ(constantTimeEqual(r.a, r.b), r.equal) << toHex(r.a) << " vs " << toHex(r.b);
    EXPECT_EQ(constantTimeEqual(r.b, r.a), r.equal) << toHex(r.b) << " vs " << toHex(r.a);
  }
}

TEST(CryptoTest, RandomBytesFromTheKernel) {
  EXPECT_EQ(randomBytes(0), "");
  EXPECT_EQ(randomBytes(16).size(), 16u);
  EXPECT_NE(randomBytes(16), randomBytes(16));
  // Large enough that the kernel may answer in parts.
  std::string big = randomBytes(1 << 20);
  ASSERT_EQ(big.size(), size_t(1) << 20);
  EXPECT_NE(big.find_first_not_of('\0', big.size() - 64), std::string::npos);
}

TEST(CryptoTest, RandomBytesFillsFromShortReadsInOrder) {
  RandomScript script({{0, 5, 'a'}, {0, 5, 'b'}, {0, 100, 'c'}});
  EXPECT_EQ(randomBytes(16), "aaaaabbbbbcccccc");
  EXPECT_EQ(script.calls(), 3u);
}

TEST(CryptoTest, RandomBytesRetriesAnInterruptedCall) {
  RandomScript script({{EINTR}, {EINTR}, {0, 100, 'x'}});
  EXPECT_EQ(randomBytes(4), "xxxx");
  EXPECT_EQ(script.calls(), 3u);
}

TEST(CryptoTest, RandomBytesFailureThrowsTheErrno) {
  for (int error : {EIO, EAGAIN, ENOSYS}) {
    // A failure after a partial read must throw too, not return a half-filled buffer.
    for (bool afterPart : {false, true}) {
      std::vector<RandomStep> steps;
      if (afterPart) steps.push_back({0, 3, 'p'});
      steps.push_back({error});
      RandomScript script(steps);
      try {
        std::string got = randomBytes(8);
        ADD_FAILURE() << "no throw for " << error << ", got " << toHex(got);
      } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), error);
        EXPECT_NE(std::string(e.what()).find(std::strerror(error)), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("getrandom failed"), std::string::npos) << e.what();
      }
      EXPECT_EQ(script.calls(), afterPart ? 2u : 1u);
    }
  }
}

}  // namespace
}  // namespace qel::crypto
