#pragma once
// The registry store: a process-wide in-memory tree of keys and values that
// answers what the system reads (class registrations of outside components).
//
// Contents, in order:
//  1. built-in defaults (see registry.cc: the in-process server entries the
//     system looks up);
//  2. the overlay file $QELROOT/registry.conf, when QELROOT is set and the
//     file exists, read on first use (and again by qelRegistryReload);
//  3. changes made through the test API below.
//
// Overlay format (UTF-8 text, one item per line, blank lines and lines
// starting with '#' or ';' ignored), close to exported .reg files:
//     [HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32]   a key (created)
//     HKCR\Some\Key                                     the same without brackets
//     @="libfoo.so"                                     the key's default value
//     "Name"="text"                                     a named REG_SZ value
//     "Count"=dword:0000001f                            a REG_DWORD (hex)
//     "Name"=-                                          deletes a value
//     [-HKCR\Some\Key]                                  deletes a key and its subkeys
// Roots: HKEY_CLASSES_ROOT/HKCR, HKEY_CURRENT_USER/HKCU,
// HKEY_LOCAL_MACHINE/HKLM, HKEY_USERS/HKU. Inside quotes, \\ is a backslash
// and \" a quote. Key paths use backslashes. A malformed line is skipped and
// reported through OutputDebugStringA ("registry.conf:<line>: ...").
//
// Key and value names compare without ASCII case, as on Windows.
// All functions are thread-safe.
#include <optional>
#include <string>

#include "qelwin_export.h"
#include "wintypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u)))

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_READ = 0x20019;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

// Opens `subKey` (backslash-separated, relative to `key`; null or "" opens
// `key` itself again) into *result. Returns ERROR_SUCCESS, ERROR_FILE_NOT_FOUND
// (no such key), ERROR_INVALID_HANDLE (bad `key`) or ERROR_INVALID_PARAMETER
// (null result). The store is read-only through this API: `options` and
// `samDesired` are accepted and not checked. Close the handle with RegCloseKey.
QELWIN_API LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM samDesired, PHKEY result);

// Reads value `valueName` (null or "" = the key's default value) of an open
// key. With data null, only *type and *cbData (needed size) are set. With a
// buffer too small for the value, returns ERROR_MORE_DATA and sets *cbData to
// the needed size (the buffer content is then undefined). REG_SZ sizes count
// the terminating NUL. Returns ERROR_SUCCESS, ERROR_FILE_NOT_FOUND (no such
// value, or the key was deleted), ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER
// (data given without cbData). REQUIRES: reserved null.
QELWIN_API LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                 LPDWORD cbData);

// Closes a handle from RegOpenKeyExA; predefined root keys are accepted and
// stay valid. ERROR_INVALID_HANDLE for anything else.
QELWIN_API LONG RegCloseKey(HKEY key);

// ---- Test and setup API (port extensions). Paths are full, starting with a
// root name as in the overlay file: "HKCR\CLSID\{...}\InprocServer32".

// Sets a REG_SZ value (name null or "" = default value), creating the key
// and its parents. False for a path without a valid root.
QELWIN_API bool qelRegistrySetString(const std::string& keyPath, const char* valueName, const std::string& value);
QELWIN_API bool qelRegistrySetDword(const std::string& keyPath, const char* valueName, DWORD value);
// Removes a value / a key with its subkeys. False when it did not exist.
QELWIN_API bool qelRegistryDeleteValue(const std::string& keyPath, const char* valueName);
QELWIN_API bool qelRegistryDeleteKey(const std::string& keyPath);
// Reads a REG_SZ/REG_EXPAND_SZ value directly; nullopt when missing.
QELWIN_API std::optional<std::string> qelRegistryGetString(const std::string& keyPath, const char* valueName);
// Rebuilds the store from the defaults and the overlay file named by the
// current QELROOT, dropping all test changes. Open handles stay valid (they
// name paths, not nodes).
QELWIN_API void qelRegistryReload();
