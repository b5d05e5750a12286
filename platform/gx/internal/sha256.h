#pragma once
// The connector's password hashing: the shared implementation, with a random
// source that fails the connector's way.
#include <cstddef>
#include <string>

#include "shared/crypto/crypto.h"

namespace gx_internal {

using qel::crypto::constantTimeEqual;
using qel::crypto::pbkdf2Sha256;

// `n` bytes from the kernel's random source. Throws GxException
// GX_EXC_STORAGE ("no random bytes: <reason>") when it gives none.
// Thread-safe.
std::string randomBytes(size_t n);

}  // namespace gx_internal
