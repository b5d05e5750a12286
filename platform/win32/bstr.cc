#include "bstr.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "com_error.h"
#include "cstring.h"

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
constexpr char16_t kReplacement = 0xFFFD;

size_t olestrLen(const OLECHAR* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

// Allocates the prefix, `bytes` bytes of text and a 2-byte terminator.
BSTR allocBytes(const void* src, size_t bytes) {
  if (bytes > UINT32_MAX - kPrefix - sizeof(OLECHAR)) return nullptr;
  // Round up so that an odd byte length still ends in a whole 0 code unit.
  size_t total = kPrefix + bytes + sizeof(OLECHAR) + (bytes & 1);
  char* block = static_cast<char*>(std::malloc(total));
  if (!block) return nullptr;
  uint32_t len32 = static_cast<uint32_t>(bytes);
  std::memcpy(block, &len32, kPrefix);
  char* text = block + kPrefix;
  if (src) {
    std::memcpy(text, src, bytes);
  } else {
    std::memset(text, 0, bytes);
  }
  std::memset(text + bytes, 0, total - kPrefix - bytes);
  return reinterpret_cast<BSTR>(text);
}

uint32_t byteLen(BSTR s) {
  uint32_t len;
  std::memcpy(&len, reinterpret_cast<const char*>(s) - kPrefix, kPrefix);
  return len;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

BSTR allocOrThrow(const OLECHAR* s, size_t len) {
  if (len > UINT_MAX / 2) _com_issue_error(E_OUTOFMEMORY);
  BSTR b = SysAllocStringLen(s, static_cast<UINT>(len));
  if (!b) _com_issue_error(E_OUTOFMEMORY);
  return b;
}

BSTR fromUtf8(const char* s, size_t n) {
  std::u16string w = utf8ToUtf16(std::string_view(s, n));
  return allocOrThrow(w.data(), w.size());
}

}  // namespace

BSTR SysAllocString(const OLECHAR* s) {
  if (!s) return nullptr;
  size_t n = olestrLen(s);
  if (n > UINT_MAX / 2) return nullptr;
  return SysAllocStringLen(s, static_cast<UINT>(n));
}

BSTR SysAllocStringLen(const OLECHAR* s, UINT len) {
  return allocBytes(s, static_cast<size_t>(len) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* s, UINT len) { return allocBytes(s, len); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* s) {
  if (!pbstr) return FALSE;
  if (!s) {
    SysFreeString(*pbstr);
    *pbstr = nullptr;
    return TRUE;
  }
  size_t n = olestrLen(s);
  if (n > UINT_MAX / 2) return FALSE;
  return SysReAllocStringLen(pbstr, s, static_cast<UINT>(n));
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* s, UINT len) {
  if (!pbstr) return FALSE;
  // Allocate before freeing: `s` may point into the old string.
  BSTR fresh = SysAllocStringLen(s, len);
  if (!fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

void SysFreeString(BSTR s) {
  if (s) std::free(reinterpret_cast<char*>(s) - kPrefix);
}

UINT SysStringLen(BSTR s) { return s ? byteLen(s) / sizeof(OLECHAR) : 0; }

UINT SysStringByteLen(BSTR s) { return s ? byteLen(s) : 0; }

std::u16string utf8ToUtf16(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  size_t n = in.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = p[i];
    if (c < 0x80) {
      out += static_cast<char16_t>(c);
      ++i;
      continue;
    }
    // Lead byte: sequence length and the valid range of the second byte
    // (excludes overlong forms, surrogates and values above U+10FFFF).
    size_t need;
    unsigned char lo = 0x80, hi = 0xBF;
    char32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      need = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      need = 2;
      cp = c & 0x0F;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      need = 3;
      cp = c & 0x07;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      out += kReplacement;
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (size_t k = 0; k < need; ++k, ++j) {
      unsigned char lo_k = k == 0 ? lo : 0x80;
      unsigned char hi_k = k == 0 ? hi : 0xBF;
      if (j >= n || p[j] < lo_k || p[j] > hi_k) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (p[j] & 0x3F);
    }
    if (!ok) {
      // The maximal ill-formed prefix (lead plus valid continuations) is one U+FFFD.
      out += kReplacement;
      i = j;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i = j;
  }
  return out;
}

std::string utf16ToUtf8(const char16_t* s, size_t len) {
  std::string out;
  if (!s) return out;
  out.reserve(len);
  for (size_t i = 0; i < len; ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < len && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    appendUtf8(out, c);
  }
  return out;
}

// ---- _bstr_t

_bstr_t::_bstr_t(const char* s) {
  if (s) wstr_ = fromUtf8(s, std::strlen(s));
}

_bstr_t::_bstr_t(const OLECHAR* s) {
  if (s) wstr_ = allocOrThrow(s, olestrLen(s));
}

_bstr_t::_bstr_t(BSTR bstr, bool fCopy) {
  if (!fCopy) {
    wstr_ = bstr;
  } else if (bstr) {
    wstr_ = allocOrThrow(bstr, SysStringLen(bstr));
  }
}

_bstr_t::_bstr_t(const std::string& s) : wstr_(fromUtf8(s.data(), s.size())) {}

_bstr_t::_bstr_t(const CString& s) : wstr_(fromUtf8(s.GetString(), s.str().size())) {}

_bstr_t::_bstr_t(const std::u16string& s) : wstr_(allocOrThrow(s.data(), s.size())) {}

_bstr_t::_bstr_t(const _bstr_t& other) {
  if (other.wstr_) wstr_ = allocOrThrow(other.wstr_, other.length());
}

_bstr_t::_bstr_t(_bstr_t&& other) noexcept
    : wstr_(other.wstr_), narrow_(other.narrow_), exposed_(other.exposed_) {
  other.wstr_ = nullptr;
  other.narrow_ = nullptr;
  other.exposed_ = false;
}

_bstr_t::~_bstr_t() { reset(); }

void _bstr_t::reset() noexcept {
  dropCache();
  SysFreeString(wstr_);
  wstr_ = nullptr;
  exposed_ = false;
}

void _bstr_t::dropCache() noexcept {
  delete[] narrow_;
  narrow_ = nullptr;
}

_bstr_t& _bstr_t::operator=(const _bstr_t& other) {
  if (this != &other) {
    _bstr_t tmp(other);
    *this = std::move(tmp);
  }
  return *this;
}

_bstr_t& _bstr_t::operator=(_bstr_t&& other) noexcept {
  if (this != &other) {
    reset();
    wstr_ = other.wstr_;
    narrow_ = other.narrow_;
    exposed_ = other.exposed_;
    other.wstr_ = nullptr;
    other.narrow_ = nullptr;
    other.exposed_ = false;
  }
  return *this;
}

_bstr_t& _bstr_t::operator=(const char* s) { return *this = _bstr_t(s); }
_bstr_t& _bstr_t::operator=(const OLECHAR* s) { return *this = _bstr_t(s); }
_bstr_t& _bstr_t::operator=(const std::string& s) { return *this = _bstr_t(s); }
_bstr_t& _bstr_t::operator=(const CString& s) { return *this = _bstr_t(s); }

_bstr_t::operator const char*() const {
  if (!wstr_) return nullptr;
  if (narrow_ && !exposed_) return narrow_;
  std::string u8 = utf16ToUtf8(wstr_, SysStringLen(wstr_));
  // Handed out writable: the text may have changed behind our back. Keep the
  // old pointer when it has not, so that it stays valid as promised.
  if (narrow_ && std::strlen(narrow_) == u8.size() && std::memcmp(narrow_, u8.data(), u8.size()) == 0) {
    return narrow_;
  }
  char* fresh = new (std::nothrow) char[u8.size() + 1];
  if (!fresh) _com_issue_error(E_OUTOFMEMORY);
  std::memcpy(fresh, u8.c_str(), u8.size() + 1);
  delete[] narrow_;
  narrow_ = fresh;
  return narrow_;
}

BSTR _bstr_t::copy(bool fCopy) const {
  if (!fCopy || !wstr_) return wstr_;
  return allocOrThrow(wstr_, length());
}

BSTR& _bstr_t::GetBSTR() {
  dropCache();
  exposed_ = true;
  return wstr_;
}

BSTR* _bstr_t::GetAddress() {
  reset();
  exposed_ = true;
  return &wstr_;
}

void _bstr_t::Attach(BSTR s) {
  if (s == wstr_) return;
  reset();
  wstr_ = s;
}

BSTR _bstr_t::Detach() noexcept {
  BSTR s = wstr_;
  wstr_ = nullptr;
  dropCache();
  exposed_ = false;
  return s;
}

void _bstr_t::Assign(BSTR s) { *this = _bstr_t(s, true); }

_bstr_t& _bstr_t::operator+=(const _bstr_t& s) {
  if (!s.wstr_) return *this;
  if (!wstr_) return *this = s;
  size_t a = length(), b = s.length();
  if (a + b > UINT_MAX / 2) _com_issue_error(E_OUTOFMEMORY);
  BSTR joined = SysAllocStringLen(nullptr, static_cast<UINT>(a + b));
  if (!joined) _com_issue_error(E_OUTOFMEMORY);
  std::memcpy(joined, wstr_, a * sizeof(OLECHAR));
  std::memcpy(joined + a, s.wstr_, b * sizeof(OLECHAR));
  Attach(joined);
  return *this;
}

_bstr_t _bstr_t::operator+(const _bstr_t& s) const {
  _bstr_t r(*this);
  r += s;
  return r;
}

_bstr_t operator+(const char* a, const _bstr_t& b) {
  _bstr_t r(a);
  r += b;
  return r;
}

_bstr_t operator+(const OLECHAR* a, const _bstr_t& b) {
  _bstr_t r(a);
  r += b;
  return r;
}

int _bstr_t::compare(const _bstr_t& s) const noexcept {
  unsigned int la = length(), lb = s.length();
  unsigned int n = la < lb ? la : lb;
  for (unsigned int i = 0; i < n; ++i) {
    if (wstr_[i] != s.wstr_[i]) return wstr_[i] < s.wstr_[i] ? -1 : 1;
  }
  return la < lb ? -1 : (la > lb ? 1 : 0);
}

std::string _bstr_t::str() const { return wstr_ ? utf16ToUtf8(wstr_, length()) : std::string(); }

std::u16string _bstr_t::u16str() const { return wstr_ ? std::u16string(wstr_, length()) : std::u16string(); }
