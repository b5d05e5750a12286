#pragma once
// Raising GxException with the location of the throw.
#include <string>

#include "platform/gx/gx_exception.h"

namespace gx_internal {

inline const char* baseName(const char* path) {
  const char* b = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/') b = p + 1;
  return b;
}

[[noreturn]] inline void raise(short id, const std::string& text, const char* file,
                               const char* func, long line) {
  GxException e(id, text);
  e.addLocation(baseName(file), func, line);
  throw e;
}

}  // namespace gx_internal

#define GX_THROW(id, text) ::gx_internal::raise((id), (text), __FILE__, __func__, __LINE__)
