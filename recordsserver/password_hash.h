#pragma once
// Salted password hashing for the records server's accounts and hosts, on the
// shared qel_crypto implementation.
#include <cstdint>
#include <string>

#include "shared/crypto/crypto.h"

namespace hollin {

// Raw SHA-256 and HMAC-SHA256, lower-case hex, and kernel random bytes
// (throws std::runtime_error when the kernel gives none); see crypto.h.
using qel::crypto::hmacSha256;
using qel::crypto::randomBytes;
using qel::crypto::sha256;
using qel::crypto::toHex;

// PBKDF2-HMAC-SHA256 with one 32-byte block, the length the stored texts use.
// REQUIRES: iterations >= 1.
std::string pbkdf2Sha256(const std::string& password, const std::string& salt, uint32_t iterations);

// A stored password: "pbkdf2$<iterations>$<salt hex>$<hash hex>". Throws
// std::runtime_error when the kernel gives no random salt. Thread-safe.
std::string hashPassword(const std::string& password);

// Whether `password` matches `stored` (a hashPassword text). Compares in
// constant time; a malformed `stored` never matches. Thread-safe.
bool verifyPassword(const std::string& password, const std::string& stored);

}  // namespace hollin
