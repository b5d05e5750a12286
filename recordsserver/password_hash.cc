#include "password_hash.h"

namespace hollin {
namespace {

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

std::string pbkdf2Sha256(const std::string& password, const std::string& salt,
                         uint32_t iterations) {
  return qel::crypto::pbkdf2Sha256(password, salt, iterations, 32);
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
  return qel::crypto::constantTimeEqual(pbkdf2Sha256(password, salt, uint32_t(iterations)),
                                       expected);
}

}  // namespace hollin
