#pragma once
// BSTR, the COM string: UTF-16 code units preceded by a 4-byte byte length and
// followed by a 0 code unit. The BSTR pointer points at the first code unit.
// A null BSTR is a valid value, distinct from an empty one, but both have
// length 0. Allocation functions are thread-safe; a BSTR itself is not locked.
#include <string>
#include <string_view>

#include "qelwin_export.h"
#include "wintypes.h"

class CString;

// A new BSTR copying the 0-terminated `s`; null when `s` is null or memory is
// short. The caller owns the result (SysFreeString).
QELWIN_API BSTR SysAllocString(const OLECHAR* s);
// A new BSTR of `len` code units copied from `s`, or zero-filled when `s` is
// null. Null when memory is short. REQUIRES: s readable for len units if non-null.
QELWIN_API BSTR SysAllocStringLen(const OLECHAR* s, UINT len);
// A new BSTR holding `len` bytes copied from `s` (zero-filled when s is null)
// plus a 0 terminator; its SysStringLen is len/2 rounded down.
QELWIN_API BSTR SysAllocStringByteLen(const char* s, UINT len);
// Replace *pbstr with a copy of `s` (freeing the old string). Returns TRUE on
// success; on failure *pbstr is unchanged. `s` may point into *pbstr.
QELWIN_API INT SysReAllocString(BSTR* pbstr, const OLECHAR* s);
QELWIN_API INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* s, UINT len);
// Frees a BSTR from this family; null is ignored.
QELWIN_API void SysFreeString(BSTR s);
// Length in code units (0 for null); in bytes (0 for null).
QELWIN_API UINT SysStringLen(BSTR s);
QELWIN_API UINT SysStringByteLen(BSTR s);

// UTF-8 <-> UTF-16. Malformed input never fails: each maximal ill-formed
// subsequence (UTF-8) or unpaired surrogate (UTF-16) becomes U+FFFD.
QELWIN_API std::u16string utf8ToUtf16(std::string_view utf8);
QELWIN_API std::string utf16ToUtf8(const char16_t* s, size_t len);
inline std::string utf16ToUtf8(std::u16string_view s) { return utf16ToUtf8(s.data(), s.size()); }

// _bstr_t: an owning BSTR wrapper. It either holds a BSTR (possibly empty) or
// holds no string at all. Copies are independent deep copies. Allocation
// failure throws _com_error(E_OUTOFMEMORY) (com_error.h). One object must not
// be used by two threads at once; distinct objects are independent.
class QELWIN_API _bstr_t {
 public:
  // Holds no string.
  _bstr_t() noexcept = default;
  // UTF-8 text converted to UTF-16; a null pointer gives no string.
  _bstr_t(const char* s);        // NOLINT(google-explicit-constructor)
  // A copy of the 0-terminated UTF-16 text; a null pointer gives no string.
  _bstr_t(const OLECHAR* s);     // NOLINT
  // fCopy true: copies `bstr` (all SysStringLen units, embedded zeros kept).
  // fCopy false: takes ownership of `bstr` (attach).
  _bstr_t(BSTR bstr, bool fCopy);
  _bstr_t(const std::string& s);  // NOLINT  UTF-8
  _bstr_t(const CString& s);      // NOLINT  UTF-8
  _bstr_t(const std::u16string& s);  // NOLINT
  _bstr_t(const _bstr_t& other);
  _bstr_t(_bstr_t&& other) noexcept;
  ~_bstr_t();

  _bstr_t& operator=(const _bstr_t& other);
  _bstr_t& operator=(_bstr_t&& other) noexcept;
  _bstr_t& operator=(const char* s);
  _bstr_t& operator=(const OLECHAR* s);
  _bstr_t& operator=(const std::string& s);
  _bstr_t& operator=(const CString& s);

  // The held BSTR (null when no string), still owned by this object.
  operator BSTR() const noexcept { return wstr_; }  // NOLINT
  operator const OLECHAR*() const noexcept { return wstr_; }  // NOLINT
  // The text as UTF-8, null when no string is held. The pointer stays valid
  // while this object lives and is unchanged; it is owned by this object.
  operator const char*() const;  // NOLINT

  // true when no string is held (an empty string is a string).
  bool operator!() const noexcept { return wstr_ == nullptr; }

  // Length in code units (0 when no string).
  unsigned int length() const noexcept { return SysStringLen(wstr_); }
  // A new BSTR copy owned by the caller (null when no string). With fCopy
  // false returns the held BSTR itself, still owned by this object.
  BSTR copy(bool fCopy = true) const;
  // Reference to the held BSTR; the caller may replace it (the old value must
  // then be freed by the caller or be reassigned by SysReAllocString).
  BSTR& GetBSTR();
  // Frees the held string and returns the address of the (now null) BSTR
  // slot, for functions that return a new BSTR through an out-parameter.
  BSTR* GetAddress();
  // Frees the held string and takes ownership of `s`.
  void Attach(BSTR s);
  // Gives up ownership: returns the held BSTR (null when none), leaving no string.
  BSTR Detach() noexcept;
  // Frees the held string and takes ownership of a copy of `s`.
  void Assign(BSTR s);

  // Concatenation; holding no string counts as empty. The result holds a
  // string if either operand does.
  _bstr_t& operator+=(const _bstr_t& s);
  _bstr_t operator+(const _bstr_t& s) const;

  // Code-unit order; holding no string compares equal to an empty string.
  int compare(const _bstr_t& s) const noexcept;
  bool operator==(const _bstr_t& s) const noexcept { return compare(s) == 0; }
  bool operator!=(const _bstr_t& s) const noexcept { return compare(s) != 0; }
  bool operator<(const _bstr_t& s) const noexcept { return compare(s) < 0; }
  bool operator>(const _bstr_t& s) const noexcept { return compare(s) > 0; }
  bool operator<=(const _bstr_t& s) const noexcept { return compare(s) <= 0; }
  bool operator>=(const _bstr_t& s) const noexcept { return compare(s) >= 0; }
  // Overloads that keep `b == "text"` from being ambiguous.
  bool operator==(const char* s) const { return compare(_bstr_t(s)) == 0; }
  bool operator!=(const char* s) const { return compare(_bstr_t(s)) != 0; }
  bool operator==(const OLECHAR* s) const { return compare(_bstr_t(s)) == 0; }
  bool operator!=(const OLECHAR* s) const { return compare(_bstr_t(s)) != 0; }

  // Convenience: the text as a std::string (UTF-8, empty when no string) and
  // as a std::u16string.
  std::string str() const;
  std::u16string u16str() const;

 private:
  void reset() noexcept;
  void dropCache() noexcept;

  BSTR wstr_ = nullptr;
  mutable char* narrow_ = nullptr;   // cached UTF-8 of wstr_, owned
  bool exposed_ = false;             // wstr_ handed out writable: cache unreliable
};

QELWIN_API _bstr_t operator+(const char* a, const _bstr_t& b);
QELWIN_API _bstr_t operator+(const OLECHAR* a, const _bstr_t& b);
