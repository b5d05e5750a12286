#pragma once
// Salted password hashing for the records server's accounts and hosts:
// PBKDF2-HMAC-SHA256 over a small SHA-256 of our own (no crypto package).
#include <cstdint>
#include <string>

namespace hollin {

// SHA-256 of `data`, as 32 raw bytes.
std::string sha256(const std::string& data);

// HMAC-SHA256 of `data` under `key`, as 32 raw bytes.
std::string hmacSha256(const std::string& key, const std::string& data);

// PBKDF2-HMAC-SHA256 with one 32-byte block.
// REQUIRES: iterations >= 1.
std::string pbkdf2Sha256(const std::string& password, const std::string& salt, uint32_t iterations);

// Lower-case hexadecimal text of raw bytes.
std::string toHex(const std::string& bytes);

// `bytes` random bytes from the kernel. Throws std::runtime_error when the
// kernel gives none. Thread-safe.
std::string randomBytes(size_t bytes);

// A stored password: "pbkdf2$<iterations>$<salt hex>$<hash hex>".
std::string hashPassword(const std::string& password);

// Whether `password` matches `stored` (a hashPassword text). Compares in
// constant time; a malformed `stored` never matches.
bool verifyPassword(const std::string& password, const std::string& stored);

}  // namespace hollin
