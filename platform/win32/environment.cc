#include "environment.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {
std::mutex& envMutex() {
  static std::mutex m;
  return m;
}
}  // namespace

std::optional<std::string> qelGetEnv(const char* name) {
  if (!name) return std::nullopt;
  std::lock_guard<std::mutex> lock(envMutex());
  const char* v = std::getenv(name);
  if (!v) return std::nullopt;
  return std::string(v);
}

DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
  std::optional<std::string> v = qelGetEnv(name);
  if (!v) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  SetLastError(ERROR_SUCCESS);
  if (!buffer || size < v->size() + 1) return static_cast<DWORD>(v->size() + 1);
  std::memcpy(buffer, v->c_str(), v->size() + 1);
  return static_cast<DWORD>(v->size());
}

BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value) {
  if (!name || !*name || std::strchr(name, '=')) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(envMutex());
  int rc = value ? setenv(name, value, 1) : unsetenv(name);
  if (rc != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}
