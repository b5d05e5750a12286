#include "shared/crypto/crypto.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace qel::crypto {
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

constexpr size_t kBlock = 64;

inline uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// Streaming SHA-256; copyable, so that a keyed HMAC state can be reused.
class Sha256 {
 public:
  void update(const unsigned char* p, size_t n) {
    total_ += n;
    while (n > 0) {
      size_t take = kBlock - bufLen_ < n ? kBlock - bufLen_ : n;
      std::memcpy(buf_ + bufLen_, p, take);
      bufLen_ += take;
      p += take;
      n -= take;
      if (bufLen_ == kBlock) {
        block(buf_);
        bufLen_ = 0;
      }
    }
  }
  void update(const std::string& s) {
    update(reinterpret_cast<const unsigned char*>(s.data()), s.size());
  }

  // The digest; the state is spent afterwards.
  std::string finish() {
    const uint64_t bits = total_ * 8;
    buf_[bufLen_++] = 0x80;
    if (bufLen_ > kBlock - 8) {  // no room left for the length
      std::memset(buf_ + bufLen_, 0, kBlock - bufLen_);
      block(buf_);
      bufLen_ = 0;
    }
    std::memset(buf_ + bufLen_, 0, kBlock - 8 - bufLen_);
    for (int i = 0; i < 8; ++i)
      buf_[kBlock - 8 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    block(buf_);
    std::string out(32, '\0');
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<char>(h_[i] >> (24 - 8 * j));
    return out;
  }

 private:
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
    uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6],
             hh = h_[7];
    for (int i = 0; i < 64; ++i) {
      uint32_t S1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
      uint32_t ch = (e & f) ^ (~e & g);
      uint32_t t1 = hh + S1 + ch + kK[i] + w[i];
      uint32_t S0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
      uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
      uint32_t t2 = S0 + maj;
      hh = g; g = f; f = e; e = d + t1; d = c; c = b; b = a; a = t1 + t2;
    }
    h_[0] += a; h_[1] += b; h_[2] += c; h_[3] += d;
    h_[4] += e; h_[5] += f; h_[6] += g; h_[7] += hh;
  }

  uint32_t h_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  unsigned char buf_[kBlock];
  size_t bufLen_ = 0;
  uint64_t total_ = 0;
};

// HMAC-SHA256 under one key. The keyed inner and outer states are computed
// once, so that PBKDF2's many HMACs under the same password each cost two
// compressions instead of four.
class HmacSha256 {
 public:
  explicit HmacSha256(const std::string& key) {
    std::string k = key.size() > kBlock ? sha256(key) : key;
    k.resize(kBlock, '\0');
    unsigned char ipad[kBlock], opad[kBlock];
    for (size_t i = 0; i < kBlock; ++i) {
      ipad[i] = static_cast<unsigned char>(k[i] ^ 0x36);
      opad[i] = static_cast<unsigned char>(k[i] ^ 0x5c);
    }
    inner_.update(ipad, kBlock);
    outer_.update(opad, kBlock);
  }

  std::string mac(const std::string& message) const {
    Sha256 in = inner_;
    in.update(message);
    Sha256 out = outer_;
    out.update(in.finish());
    return out.finish();
  }

 private:
  Sha256 inner_, outer_;
};

}  // namespace

std::string sha256(const std::string& data) {
  Sha256 s;
  s.update(data);
  return s.finish();
}

std::string hmacSha256(const std::string& key, const std::string& message) {
  return HmacSha256(key).mac(message);
}

std::string pbkdf2Sha256(const std::string& password, const std::string& salt,
                         uint32_t iterations, size_t length) {
  const HmacSha256 prf(password);
  std::string out;
  for (uint32_t blockIndex = 1; out.size() < length; ++blockIndex) {
    std::string be(4, '\0');
    for (int i = 0; i < 4; ++i) be[i] = static_cast<char>(blockIndex >> (24 - 8 * i));
    std::string u = prf.mac(salt + be);
    std::string t = u;
    for (uint32_t i = 1; i < iterations; ++i) {
      u = prf.mac(u);
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
    // Large requests may come back short; an interrupted wait is retried.
    ssize_t r = getrandom(&out[got], n - got, 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      throw std::system_error(err, std::generic_category(), "getrandom failed");
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

std::string toHex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

}  // namespace qel::crypto
