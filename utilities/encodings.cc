// Key/value pairs and id lists as stored in item attributes.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "QELUtilities.h"

namespace {

// The conversions of the C scanf family that the id-list format uses, with
// overflow treated as a mismatch instead of undefined behaviour.
// Each returns false on a mismatch and leaves `p` where it stopped.
bool scanLong(const char*& p, long min, long max, long& out) {
  const char* s = p;
  while (std::isspace(static_cast<unsigned char>(*s))) ++s;
  const char* digits = s;
  if (*digits == '+' || *digits == '-') ++digits;
  if (!std::isdigit(static_cast<unsigned char>(*digits))) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (errno == ERANGE || v < min || v > max) return false;
  out = v;
  p = end;
  return true;
}

// "%s": skips white space, then takes the run of non-white characters.
bool scanWord(const char*& p, const char*& begin, const char*& end) {
  const char* s = p;
  while (std::isspace(static_cast<unsigned char>(*s))) ++s;
  if (*s == '\0') return false;
  begin = s;
  while (*s != '\0' && !std::isspace(static_cast<unsigned char>(*s))) ++s;
  end = s;
  p = s;
  return true;
}

}  // namespace

int EncodeKeyValue(const char* key, const char* value, const char* separator,
                   GxString& encoded) {
  encoded = GxString(key) + GxString(separator) + GxString(value);
  return 0;
}

int DecodeKeyValue(GxString& key, GxString& value, const char* separator, const char* encoded) {
  key = "";
  value = "";
  if (separator == nullptr || *separator == '\0' || encoded == nullptr) return -1;
  const char* at = std::strstr(encoded, separator);
  if (at == nullptr || at == encoded) return -1;
  key = GxString(std::string(encoded, static_cast<size_t>(at - encoded)));
  const char* rest = at + std::strlen(separator);
  if (*rest != '\0') value = rest;
  return 0;
}

int EncodeLongArray2Str(GxString& encoded, int count, const long* ids) {
  if (count < 0) return -1;
  if (count > 0 && ids == nullptr) return -1;
  GxString text = GxString(count) + "::";
  for (int i = 0; i < count; ++i) {
    text += GxString(ids[i]);
    text += ":";
  }
  encoded = text;
  return 0;
}

int DecodeStr2LongArray(const char* encoded, int& count, long*& ids) {
  if (encoded == nullptr || *encoded == '\0') return -1;
  count = 0;
  ids = nullptr;

  // "%d:%s": the count, a colon, then the remainder up to white space.
  const char* p = encoded;
  long n = 0;
  if (!scanLong(p, INT_MIN, INT_MAX, n)) return -1;
  if (*p != ':') return -1;
  ++p;
  const char* word = nullptr;
  const char* wordEnd = nullptr;
  if (!scanWord(p, word, wordEnd)) return -1;
  if (n < 1) return -1;
  // Every id takes at least two characters (a digit and its ":"), so a
  // count the text cannot hold is rejected before anything is allocated.
  if (static_cast<size_t>(n) > static_cast<size_t>(wordEnd - word) / 2) return -1;

  std::vector<long> values;
  values.reserve(static_cast<size_t>(n));
  std::string remainder(word, wordEnd);
  for (long i = 0; i < n; ++i) {
    // ":%ld%s": a colon, an id, and the next remainder.
    const char* q = remainder.c_str();
    if (*q != ':') return -1;
    ++q;
    long id = 0;
    if (!scanLong(q, LONG_MIN, LONG_MAX, id)) return -1;
    if (!scanWord(q, word, wordEnd)) return -1;
    values.push_back(id);
    remainder.assign(word, wordEnd);
  }
  ids = new long[values.size()];
  std::memcpy(ids, values.data(), values.size() * sizeof(long));
  count = static_cast<int>(n);
  return 0;
}
