#pragma once
// SHA-256, HMAC-SHA256, PBKDF2-HMAC-SHA256, kernel random bytes and a
// constant-time compare: the one small implementation that the connector's
// user store and the records server's accounts both hash passwords with.
//
// Every function is pure (or, for randomBytes, reads only the kernel), keeps
// no state between calls and is safe to call from any thread. Bytes travel in
// std::string; results are owned by the caller.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qel::crypto {

// SHA-256 of `data`, as 32 raw bytes.
std::string sha256(const std::string& data);

// HMAC-SHA256 of `message` under `key` (a key longer than the 64-byte block
// is hashed first), as 32 raw bytes.
std::string hmacSha256(const std::string& key, const std::string& message);

// `length` raw bytes derived from `password` and `salt` by PBKDF2 with
// HMAC-SHA256 as the pseudo-random function (RFC 8018).
// REQUIRES: iterations >= 1, length >= 1.
std::string pbkdf2Sha256(const std::string& password, const std::string& salt,
                         uint32_t iterations, size_t length);

// `n` bytes from the kernel's random source (getrandom; waits only until the
// source is seeded at boot). Throws std::system_error, a std::runtime_error,
// carrying the errno when the kernel gives none.
std::string randomBytes(size_t n);

// Whether `a` and `b` are equal, in a time that depends on their lengths but
// not on where they differ.
bool constantTimeEqual(const std::string& a, const std::string& b);

// Lower-case hexadecimal text of raw bytes, two digits a byte.
std::string toHex(const std::string& bytes);

}  // namespace qel::crypto
