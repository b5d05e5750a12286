#include "guid.h"

#include <cstdio>

#include "bstr.h"

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[pos]; false on any non-hex character.
bool readHex(std::string_view text, size_t pos, int digits, uint64_t* out) {
  uint64_t v = 0;
  for (int i = 0; i < digits; ++i) {
    int h = hexValue(text[pos + static_cast<size_t>(i)]);
    if (h < 0) return false;
    v = (v << 4) | static_cast<uint64_t>(h);
  }
  *out = v;
  return true;
}

}  // namespace

bool parseGuid(std::string_view t, GUID* out) {
  // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
  if (t.size() != 38 || t[0] != '{' || t[37] != '}' || t[9] != '-' || t[14] != '-' || t[19] != '-' ||
      t[24] != '-') {
    return false;
  }
  GUID g;
  uint64_t v;
  if (!readHex(t, 1, 8, &v)) return false;
  g.Data1 = static_cast<uint32_t>(v);
  if (!readHex(t, 10, 4, &v)) return false;
  g.Data2 = static_cast<uint16_t>(v);
  if (!readHex(t, 15, 4, &v)) return false;
  g.Data3 = static_cast<uint16_t>(v);
  static const size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!readHex(t, kBytePos[i], 2, &v)) return false;
    g.Data4[i] = static_cast<uint8_t>(v);
  }
  *out = g;
  return true;
}

std::string guidToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return buf;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_NULL;
  if (!text) return CO_E_CLASSSTRING;
  size_t n = 0;
  while (text[n] && n < 64) ++n;
  // Non-ASCII units become U+FFFD and fail the hex check.
  if (!parseGuid(utf16ToUtf8(text, n), clsid)) {
    *clsid = CLSID_NULL;
    return CO_E_CLASSSTRING;
  }
  return NOERROR;
}

HRESULT IIDFromString(LPCOLESTR text, IID* iid) { return CLSIDFromString(text, iid); }

int StringFromGUID2(REFGUID guid, LPOLESTR out, int cchMax) {
  if (!out || cchMax < 39) return 0;
  std::string s = guidToString(guid);
  for (size_t i = 0; i < s.size(); ++i) out[i] = static_cast<OLECHAR>(s[i]);
  out[s.size()] = 0;
  return static_cast<int>(s.size()) + 1;
}
