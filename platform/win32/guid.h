#pragma once
// GUID, the 128-bit identifier of COM classes (CLSID) and interfaces (IID).
// Text form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "qelwin_export.h"
#include "wintypes.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPCLSID = CLSID*;

inline bool operator==(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
// Strict weak order so that GUIDs can be map keys.
inline bool operator<(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
  if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
  if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
  return std::memcmp(a.Data4, b.Data4, sizeof a.Data4) < 0;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_NULL = GUID_NULL;
inline constexpr CLSID CLSID_NULL = GUID_NULL;

// Parses "{8-4-4-4-12}" hex digits (either case, braces required, nothing
// before or after). On success stores into *out and returns true; on failure
// returns false and leaves *out unchanged. REQUIRES: out non-null.
QELWIN_API bool parseGuid(std::string_view text, GUID* out);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
QELWIN_API std::string guidToString(const GUID& g);

// As parseGuid on UTF-16 text: NOERROR, or CO_E_CLASSSTRING for a malformed
// or null string (*clsid then set to CLSID_NULL), E_POINTER for null clsid.
QELWIN_API HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
QELWIN_API HRESULT IIDFromString(LPCOLESTR text, IID* iid);
// Writes the braced text and its 0 terminator into `out`; returns the number
// of characters written including the terminator (39), or 0 when cchMax < 39
// or out is null.
QELWIN_API int StringFromGUID2(REFGUID guid, LPOLESTR out, int cchMax);

struct GuidHash {
  size_t operator()(const GUID& g) const noexcept {
    uint64_t a, b;
    std::memcpy(&a, &g, 8);
    std::memcpy(&b, reinterpret_cast<const char*>(&g) + 8, 8);
    return std::hash<uint64_t>()(a * 0x9E3779B97F4A7C15ull ^ b);
  }
};
