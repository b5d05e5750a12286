#include "platform/gx/internal/sha256.h"

#include <cstring>
#include <system_error>

#include "platform/gx/internal/gx_throw.h"

namespace gx_internal {

std::string randomBytes(size_t n) {
  try {
    return qel::crypto::randomBytes(n);
  } catch (const std::system_error& e) {
    // Callers of the connector catch GxException only.
    GX_THROW(GX_EXC_STORAGE, std::string("no random bytes: ") + std::strerror(e.code().value()));
  }
}

}  // namespace gx_internal
