#pragma once
// CString: the framework string class of the port. It holds bytes in the
// "ANSI code page", which is UTF-8 here; lengths and indexes count bytes.
// A CString is a value type: copies are independent. Like std::string, one
// object must not be changed by one thread while another uses it.
#include <string>
#include <type_traits>

#include "qelwin_export.h"
#include "wintypes.h"

class _bstr_t;

class QELWIN_API CString {
 public:
  CString() = default;
  // A null pointer gives an empty string.
  CString(const char* s);  // NOLINT(google-explicit-constructor): as the framework
  // The first `length` bytes of `s` (which may hold NULs). REQUIRES: s readable
  // for length bytes unless length <= 0.
  CString(const char* s, int length);
  // UTF-16 text converted to UTF-8; a null pointer gives an empty string.
  CString(const OLECHAR* s);  // NOLINT
  // The text of a COM string as UTF-8 (empty when it holds no string).
  // Explicit so that mixed expressions keep one meaning.
  explicit CString(const _bstr_t& s);
  CString(const std::string& s) : s_(s) {}  // NOLINT
  CString(std::string&& s) : s_(std::move(s)) {}  // NOLINT
  // `ch` repeated `repeat` times (none when repeat <= 0).
  explicit CString(char ch, int repeat = 1);
  CString(const CString&) = default;
  CString(CString&&) noexcept = default;
  CString& operator=(const CString&) = default;
  CString& operator=(CString&&) noexcept = default;
  CString& operator=(const char* s);
  CString& operator=(const std::string& s);
  CString& operator=(char ch);
  CString& operator=(const OLECHAR* s);
  CString& operator=(const _bstr_t& s);

  // Pointer to the NUL-terminated text, valid until this string changes or dies.
  operator const char*() const { return s_.c_str(); }  // NOLINT
  const char* GetString() const { return s_.c_str(); }
  const std::string& str() const { return s_; }

  int GetLength() const { return static_cast<int>(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }

  // REQUIRES: 0 <= i < GetLength().
  char GetAt(int i) const { return s_[static_cast<size_t>(i)]; }
  void SetAt(int i, char ch) { s_[static_cast<size_t>(i)] = ch; }
  // A template so that any integer index beats the built-in pointer subscript
  // through operator const char*. REQUIRES: 0 <= i < GetLength().
  template <class I, class = std::enable_if_t<std::is_integral<I>::value>>
  char operator[](I i) const { return s_[static_cast<size_t>(i)]; }

  CString& operator+=(const CString& s) { s_ += s.s_; return *this; }
  CString& operator+=(const char* s);  // null appends nothing
  CString& operator+=(char ch) { s_ += ch; return *this; }
  CString& operator+=(const std::string& s) { s_ += s; return *this; }

  // strcmp-like byte order: < 0, 0 or > 0. A null `s` compares as "".
  int Compare(const char* s) const;
  // As Compare but ASCII letters compare without case.
  int CompareNoCase(const char* s) const;

  // 0-based index of the first occurrence at or after `start`, or -1
  // (also -1 when start is negative or beyond the end, or `sub` is null).
  int Find(const char* sub, int start = 0) const;
  int Find(char ch, int start = 0) const;
  // Index of the last occurrence of `ch`, or -1.
  int ReverseFind(char ch) const;
  // Index of the first byte that is one of `set`, or -1.
  int FindOneOf(const char* set) const;

  // Substrings; out-of-range arguments are clamped as the framework does.
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Left(int count) const;
  CString Right(int count) const;

  // Case mapping of ASCII letters only; other bytes (UTF-8) stay unchanged.
  CString& MakeUpper();
  CString& MakeLower();
  CString& MakeReverse();

  // Remove leading/trailing white space (space, \t, \n, \v, \f, \r),
  // or the given character, or any of the characters in `set`.
  CString& Trim();
  CString& Trim(char ch);
  CString& Trim(const char* set);
  CString& TrimLeft();
  CString& TrimLeft(char ch);
  CString& TrimLeft(const char* set);
  CString& TrimRight();
  CString& TrimRight(char ch);
  CString& TrimRight(const char* set);

  // Replace every occurrence, left to right, without rescanning inserted
  // text. Returns the number of replacements; an empty or null `from` gives 0.
  int Replace(const char* from, const char* to);
  int Replace(char from, char to);
  // Remove every `ch`; returns how many were removed.
  int Remove(char ch);
  // Insert at `index` (clamped to [0, length]); returns the new length.
  int Insert(int index, const char* s);
  int Insert(int index, char ch);
  // Delete `count` bytes at `index` (clamped); returns the new length.
  int Delete(int index, int count = 1);

  // printf-style formatting; a null `fmt` gives an empty string.
  void Format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void AppendFormat(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  // Writable buffer of at least max(minLength, GetLength()) bytes plus a NUL.
  // Valid until the next call of any other member. Call ReleaseBuffer after
  // writing: newLength < 0 takes the length up to the first NUL.
  char* GetBuffer(int minLength);
  char* GetBuffer() { return GetBuffer(0); }
  char* GetBufferSetLength(int length);
  void ReleaseBuffer(int newLength = -1);

 private:
  std::string s_;
};

QELWIN_API CString operator+(const CString& a, const CString& b);
QELWIN_API CString operator+(const CString& a, const char* b);
QELWIN_API CString operator+(const char* a, const CString& b);
QELWIN_API CString operator+(const CString& a, char b);
QELWIN_API CString operator+(char a, const CString& b);

inline bool operator==(const CString& a, const CString& b) { return a.str() == b.str(); }
inline bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
inline bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return !(a == b); }
inline bool operator!=(const CString& a, const char* b) { return !(a == b); }
inline bool operator!=(const char* a, const CString& b) { return !(a == b); }
inline bool operator<(const CString& a, const CString& b) { return a.str() < b.str(); }
inline bool operator<(const CString& a, const char* b) { return a.Compare(b) < 0; }
inline bool operator<(const char* a, const CString& b) { return b.Compare(a) > 0; }
inline bool operator>(const CString& a, const CString& b) { return b < a; }
inline bool operator<=(const CString& a, const CString& b) { return !(b < a); }
inline bool operator>=(const CString& a, const CString& b) { return !(a < b); }
