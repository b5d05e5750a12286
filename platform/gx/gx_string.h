#pragma once
// GxString: the connector's narrow (UTF-8) string. Positions are 1-based.
#include <cstddef>
#include <iosfwd>
#include <string>

#include "platform/gx/gx_export.h"

class CString;  // platform/win32/cstring.h

class GXBASE_EXPORT GxString {
 public:
  GxString();
  GxString(const char* s);  // null gives the empty string
  GxString(const std::string& s);
  // Decimal text of the number.
  GxString(short n);
  GxString(int n);
  GxString(long n);
  GxString(unsigned long n);
  GxString(const GxString& other);
  GxString(GxString&& other) noexcept;
  ~GxString();

  GxString& operator=(const GxString& other);
  GxString& operator=(GxString&& other) noexcept;
  GxString& operator=(const char* s);  // null gives the empty string
  GxString& operator=(const std::string& s);
  // From the framework string: its bytes as they are (UTF-8, NULs kept).
  GxString& operator=(const CString& s);

  GxString operator+(const GxString& rhs) const;
  GxString operator+(const char* rhs) const;
  GxString& operator+=(const GxString& rhs);
  GxString& operator+=(const char* rhs);

  bool operator==(const GxString& rhs) const;
  bool operator==(const char* rhs) const;  // null compares equal to ""
  bool operator!=(const GxString& rhs) const;
  bool operator!=(const char* rhs) const;
  bool operator<(const GxString& rhs) const;  // byte order, for maps

  // Length in bytes; length() and size() are the same.
  long length() const;
  long size() const;
  bool isEmpty() const;

  // 1-based position of the first occurrence of `pattern` at or after
  // position `start` (0 or 1 both mean "from the beginning"); 0 when there is
  // none or when start lies beyond the end. An empty pattern is found at
  // max(start, 1) when that lies within the string (or at 1 of an empty one).
  long indexOf(const GxString& pattern, long start = 0) const;
  long indexOf(const char* pattern, long start = 0) const;

  // Up to `length` bytes from 1-based position `start`; a negative length
  // means "to the end". Parts outside the string are clipped, so the result
  // may be shorter or empty; never fails. start < 1 counts as 1.
  GxString subString(long start, long length = -1) const;

  // ASCII case conversion in place; returns *this.
  GxString& upperCase();
  GxString& lowerCase();

  // Leading blanks, an optional sign and decimal digits, as strtol; text
  // without leading digits gives 0; out of range clamps to LONG_MIN/LONG_MAX.
  long asInt() const;

  // The characters, NUL-terminated. Valid until this string changes or dies.
  // The writable form lets legacy code patch bytes in place (never past the
  // terminating NUL).
  operator char*() const;
  const char* c_str() const;
  const std::string& str() const;

 private:
  std::string* s_;  // never null; a pointer keeps the class layout small and fixed
};

GXBASE_EXPORT GxString operator+(const char* lhs, const GxString& rhs);
GXBASE_EXPORT bool operator==(const char* lhs, const GxString& rhs);
GXBASE_EXPORT bool operator!=(const char* lhs, const GxString& rhs);
GXBASE_EXPORT std::ostream& operator<<(std::ostream& os, const GxString& s);
