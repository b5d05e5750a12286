#include "password_hash.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace hollin {
namespace {

constexpr uint32_t kK[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void compress(uint32_t h[8], const unsigned char* block) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) {
    w[i] = (uint32_t(block[4 * i]) << 24) | (uint32_t(block[4 * i + 1]) << 16) |
           (uint32_t(block[4 * i + 2]) << 8) | uint32_t(block[4 * i + 3]);
  }
  for (int i = 16; i < 64; ++i) {
    uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
  for (int i = 0; i < 64; ++i) {
    uint32_t s1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
    uint32_t ch = (e & f) ^ (~e & g);
    uint32_t t1 = hh + s1 + ch + kK[i] + w[i];
    uint32_t s0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
    uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
    uint32_t t2 = s0 + maj;
    hh = g; g = f; f = e; e = d + t1; d = c; c = b; b = a; a = t1 + t2;
  }
  h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e; h[5] += f; h[6] += g; h[7] += hh;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool fromHex(const std::string& hex, std::string& out) {
  if (hex.size() % 2) return false;
  out.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = hexValue(hex[i]), lo = hexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(char(hi * 16 + lo));
  }
  return true;
}

// Enough to make an offline guess costly, cheap enough for tests that log
// in hundreds of times under the sanitizers.
constexpr uint32_t kIterations = 2000;

}  // namespace

std::string sha256(const std::string& data) {
  uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::string msg = data;
  uint64_t bits = uint64_t(data.size()) * 8;
  msg.push_back(char(0x80));
  while (msg.size() % 64 != 56) msg.push_back('\0');
  for (int i = 7; i >= 0; --i) msg.push_back(char((bits >> (8 * i)) & 0xff));
  for (size_t off = 0; off < msg.size(); off += 64) {
    compress(h, reinterpret_cast<const unsigned char*>(msg.data()) + off);
  }
  std::string out;
  for (uint32_t v : h) {
    for (int i = 3; i >= 0; --i) out.push_back(char((v >> (8 * i)) & 0xff));
  }
  return out;
}

std::string hmacSha256(const std::string& key, const std::string& data) {
  std::string k = key.size() > 64 ? sha256(key) : key;
  k.resize(64, '\0');
  std::string ipad(64, '\0'), opad(64, '\0');
  for (int i = 0; i < 64; ++i) {
    ipad[i] = char(k[i] ^ 0x36);
    opad[i] = char(k[i] ^ 0x5c);
  }
  return sha256(opad + sha256(ipad + data));
}

std::string pbkdf2Sha256(const std::string& password, const std::string& salt,
                         uint32_t iterations) {
  std::string u = hmacSha256(password, salt + std::string("\0\0\0\1", 4));
  std::string result = u;
  for (uint32_t i = 1; i < iterations; ++i) {
    u = hmacSha256(password, u);
    for (size_t j = 0; j < result.size(); ++j) result[j] = char(result[j] ^ u[j]);
  }
  return result;
}

std::string toHex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

std::string randomBytes(size_t bytes) {
  std::string out(bytes, '\0');
  size_t got = 0;
  while (got < bytes) {
    ssize_t n = getrandom(&out[got], bytes - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("getrandom failed: ") + std::strerror(errno));
    }
    got += size_t(n);
  }
  return out;
}

std::string hashPassword(const std::string& password) {
  std::string salt = randomBytes(16);
  return "pbkdf2$" + std::to_string(kIterations) + "$" + toHex(salt) + "$" +
         toHex(pbkdf2Sha256(password, salt, kIterations));
}

bool verifyPassword(const std::string& password, const std::string& stored) {
  size_t a = stored.find('$');
  size_t b = a == std::string::npos ? a : stored.find('$', a + 1);
  size_t c = b == std::string::npos ? b : stored.find('$', b + 1);
  if (c == std::string::npos || stored.compare(0, a, "pbkdf2") != 0) return false;
  unsigned long iterations = 0;
  try {
    iterations = std::stoul(stored.substr(a + 1, b - a - 1));
  } catch (...) {
    return false;
  }
  std::string salt, expected;
  if (iterations < 1 || iterations > 10000000 || !fromHex(stored.substr(b + 1, c - b - 1), salt) ||
      !fromHex(stored.substr(c + 1), expected) || expected.size() != 32) {
    return false;
  }
  std::string actual = pbkdf2Sha256(password, salt, uint32_t(iterations));
  unsigned char diff = 0;
  for (size_t i = 0; i < 32; ++i) diff |= (unsigned char)(actual[i] ^ expected[i]);
  return diff == 0;
}

}  // namespace hollin
