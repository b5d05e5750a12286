#include "platform/gx/gx_string.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "platform/win32/cstring.h"

GxString::GxString() : s_(new std::string) {}
GxString::GxString(const char* s) : s_(new std::string(s ? s : "")) {}
GxString::GxString(const std::string& s) : s_(new std::string(s)) {}
GxString::GxString(short n) : s_(new std::string(std::to_string(n))) {}
GxString::GxString(int n) : s_(new std::string(std::to_string(n))) {}
GxString::GxString(long n) : s_(new std::string(std::to_string(n))) {}
GxString::GxString(unsigned long n) : s_(new std::string(std::to_string(n))) {}
GxString::GxString(const GxString& other) : s_(new std::string(*other.s_)) {}
// The moved-from string stays valid (empty): s_ is never null.
GxString::GxString(GxString&& other) noexcept : s_(new std::string(std::move(*other.s_))) {}
GxString::~GxString() { delete s_; }

GxString& GxString::operator=(const GxString& other) {
  if (this != &other) *s_ = *other.s_;
  return *this;
}
GxString& GxString::operator=(GxString&& other) noexcept {
  if (this != &other) s_->swap(*other.s_);
  return *this;
}
GxString& GxString::operator=(const char* s) {
  // s may point into this string (e.g. s = (char*)s + 1).
  std::string copy(s ? s : "");
  s_->swap(copy);
  return *this;
}

GxString& GxString::operator=(const std::string& s) {
  *s_ = s;
  return *this;
}
GxString& GxString::operator=(const CString& s) {
  *s_ = s.str();
  return *this;
}

GxString GxString::operator+(const GxString& rhs) const { return GxString(*s_ + *rhs.s_); }
GxString GxString::operator+(const char* rhs) const { return GxString(*s_ + (rhs ? rhs : "")); }
GxString& GxString::operator+=(const GxString& rhs) {
  s_->append(*rhs.s_);
  return *this;
}
GxString& GxString::operator+=(const char* rhs) {
  if (rhs) s_->append(std::string(rhs));
  return *this;
}

bool GxString::operator==(const GxString& rhs) const { return *s_ == *rhs.s_; }
bool GxString::operator==(const char* rhs) const { return *s_ == (rhs ? rhs : ""); }
bool GxString::operator!=(const GxString& rhs) const { return !(*this == rhs); }
bool GxString::operator!=(const char* rhs) const { return !(*this == rhs); }
bool GxString::operator<(const GxString& rhs) const { return *s_ < *rhs.s_; }

long GxString::length() const { return static_cast<long>(s_->size()); }
long GxString::size() const { return static_cast<long>(s_->size()); }
bool GxString::isEmpty() const { return s_->empty(); }

long GxString::indexOf(const GxString& pattern, long start) const {
  if (start < 1) start = 1;
  const long len = length();
  if (start > len + 1 || (start > len && !pattern.isEmpty())) return 0;
  if (pattern.isEmpty()) return len == 0 ? 1 : (start <= len ? start : 0);
  std::string::size_type pos = s_->find(*pattern.s_, static_cast<std::string::size_type>(start - 1));
  return pos == std::string::npos ? 0 : static_cast<long>(pos) + 1;
}
long GxString::indexOf(const char* pattern, long start) const {
  return indexOf(GxString(pattern), start);
}

GxString GxString::subString(long start, long length) const {
  if (start < 1) start = 1;
  const long len = this->length();
  if (start > len) return GxString();
  const long avail = len - (start - 1);
  const long n = (length < 0 || length > avail) ? avail : length;
  return GxString(s_->substr(static_cast<std::string::size_type>(start - 1),
                             static_cast<std::string::size_type>(n)));
}

GxString& GxString::upperCase() {
  for (char& c : *s_)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return *this;
}
GxString& GxString::lowerCase() {
  for (char& c : *s_)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return *this;
}

long GxString::asInt() const {
  errno = 0;
  return std::strtol(s_->c_str(), nullptr, 10);  // strtol clamps on overflow
}

GxString::operator char*() const { return s_->data(); }
const char* GxString::c_str() const { return s_->c_str(); }
const std::string& GxString::str() const { return *s_; }

GxString operator+(const char* lhs, const GxString& rhs) { return GxString(lhs) + rhs; }
bool operator==(const char* lhs, const GxString& rhs) { return rhs == lhs; }
bool operator!=(const char* lhs, const GxString& rhs) { return rhs != lhs; }
std::ostream& operator<<(std::ostream& os, const GxString& s) { return os << s.str(); }
