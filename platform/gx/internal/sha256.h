#pragma once
// SHA-256, HMAC-SHA256 and PBKDF2-HMAC-SHA256 for password hashes.
#include <cstddef>
#include <cstdint>
#include <string>

namespace gx_internal {

// 32-byte digest of `data`.
std::string sha256(const std::string& data);
std::string hmacSha256(const std::string& key, const std::string& message);
// `length` bytes derived from password and salt (RFC 8018, PRF HMAC-SHA256).
// REQUIRES: iterations >= 1, length >= 1.
std::string pbkdf2Sha256(const std::string& password, const std::string& salt,
                         uint32_t iterations, size_t length);
// `n` bytes from the kernel's random source; throws GxException on failure.
std::string randomBytes(size_t n);
// Comparison whose time does not depend on where the texts differ.
bool constantTimeEqual(const std::string& a, const std::string& b);

}  // namespace gx_internal
