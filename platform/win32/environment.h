#pragma once
// Environment variables with Windows return conventions. These functions
// serialise among themselves; a direct setenv/putenv elsewhere in the
// process while they run is a data race, as with getenv.
#include <optional>
#include <string>

#include "qelwin_export.h"
#include "wintypes.h"

// Copies the value of `name` with its NUL into `buffer` when `size` is large
// enough and returns its length without the NUL. When the buffer is too
// small (or null with size 0) returns the size needed including the NUL and
// leaves the buffer alone. When the variable is missing returns 0 with
// GetLastError() == ERROR_ENVVAR_NOT_FOUND; an existing empty variable also
// returns 0, with GetLastError() == ERROR_SUCCESS.
// REQUIRES: buffer writable for `size` bytes; name non-null.
QELWIN_API DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);

// Sets `name` to `value`, or removes it when value is null. Returns FALSE
// for a null, empty or '='-containing name (ERROR_INVALID_PARAMETER).
QELWIN_API BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value);

// The value, or nullopt when the variable is not set (an empty value is "").
QELWIN_API std::optional<std::string> qelGetEnv(const char* name);
