#include "platform/gx/internal/sha256.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "platform/gx/internal/gx_throw.h"

namespace gx_internal {
namespace {

const uint32_t kK[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

struct Sha256 {
  uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  unsigned char buf[64];
  size_t bufLen = 0;
  uint64_t total = 0;

  void block(const unsigned char* p) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
      w[i] = (uint32_t(p[4 * i]) << 24) | (uint32_t(p[4 * i + 1]) << 16) |
             (uint32_t(p[4 * i + 2]) << 8) | uint32_t(p[4 * i + 3]);
    for (int i = 16; i < 64; ++i) {
      uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
    for (int i = 0; i < 64; ++i) {
      uint32_t S1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
      uint32_t ch = (e & f) ^ (~e & g);
      uint32_t t1 = hh + S1 + ch + kK[i] + w[i];
      uint32_t S0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
      uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
      uint32_t t2 = S0 + maj;
      hh = g; g = f; f = e; e = d + t1; d = c; c = b; b = a; a = t1 + t2;
    }
    h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e; h[5] += f; h[6] += g; h[7] += hh;
  }

  void update(const unsigned char* p, size_t n) {
    total += n;
    while (n > 0) {
      size_t take = 64 - bufLen < n ? 64 - bufLen : n;
      std::memcpy(buf + bufLen, p, take);
      bufLen += take;
      p += take;
      n -= take;
      if (bufLen == 64) {
        block(buf);
        bufLen = 0;
      }
    }
  }

  std::string finish() {
    uint64_t bits = total * 8;
    unsigned char pad = 0x80;
    update(&pad, 1);
    unsigned char zero = 0;
    while (bufLen != 56) update(&zero, 1);
    unsigned char len[8];
    for (int i = 0; i < 8; ++i) len[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    update(len, 8);
    std::string out(32, '\0');
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<char>(h[i] >> (24 - 8 * j));
    return out;
  }
};

}  // namespace

std::string sha256(const std::string& data) {
  Sha256 s;
  s.update(reinterpret_cast<const unsigned char*>(data.data()), data.size());
  return s.finish();
}

std::string hmacSha256(const std::string& key, const std::string& message) {
  std::string k = key.size() > 64 ? sha256(key) : key;
  k.resize(64, '\0');
  std::string ipad(64, '\0'), opad(64, '\0');
  for (int i = 0; i < 64; ++i) {
    ipad[i] = static_cast<char>(k[i] ^ 0x36);
    opad[i] = static_cast<char>(k[i] ^ 0x5c);
  }
  return sha256(opad + sha256(ipad + message));
}

std::string pbkdf2Sha256(const std::string& password, const std::string& salt,
                         uint32_t iterations, size_t length) {
  // The keyed inner and outer states are the same for every HMAC of the
  // loop: compute them once and copy them.
  std::string k = password.size() > 64 ? sha256(password) : password;
  k.resize(64, '\0');
  unsigned char ipad[64], opad[64];
  for (int i = 0; i < 64; ++i) {
    ipad[i] = static_cast<unsigned char>(k[i] ^ 0x36);
    opad[i] = static_cast<unsigned char>(k[i] ^ 0x5c);
  }
  Sha256 inner0, outer0;
  inner0.update(ipad, 64);
  outer0.update(opad, 64);
  auto hmac = [&](const std::string& msg) {
    Sha256 in = inner0;
    in.update(reinterpret_cast<const unsigned char*>(msg.data()), msg.size());
    std::string ih = in.finish();
    Sha256 out = outer0;
    out.update(reinterpret_cast<const unsigned char*>(ih.data()), ih.size());
    return out.finish();
  };
  std::string out;
  for (uint32_t blockIndex = 1; out.size() < length; ++blockIndex) {
    std::string be(4, '\0');
    for (int i = 0; i < 4; ++i) be[i] = static_cast<char>(blockIndex >> (24 - 8 * i));
    std::string u = hmac(salt + be);
    std::string t = u;
    for (uint32_t i = 1; i < iterations; ++i) {
      u = hmac(u);
      for (size_t j = 0; j < t.size(); ++j) t[j] = static_cast<char>(t[j] ^ u[j]);
    }
    out += t;
  }
  out.resize(length);
  return out;
}

std::string randomBytes(size_t n) {
  std::string out(n, '\0');
  size_t got = 0;
  while (got < n) {
    ssize_t r = getrandom(&out[got], n - got, 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      GX_THROW(GX_EXC_STORAGE, std::string("no random bytes: ") + std::strerror(errno));
    }
    got += static_cast<size_t>(r);
  }
  return out;
}

bool constantTimeEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

}  // namespace gx_internal
