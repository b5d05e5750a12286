#include "cstring.h"

#include "bstr.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

const char kWhiteSpace[] = " \t\n\v\f\r";

std::string_view view(const char* s) { return s ? std::string_view(s) : std::string_view(); }

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int sign(int v) { return (v > 0) - (v < 0); }

void appendV(std::string& out, const char* fmt, va_list ap) {
  if (!fmt) return;
  va_list probe;
  va_copy(probe, ap);
  char small[256];
  int n = vsnprintf(small, sizeof small, fmt, probe);
  va_end(probe);
  if (n < 0) return;  // encoding error: leave the string as it was
  if (static_cast<size_t>(n) < sizeof small) {
    out.append(small, static_cast<size_t>(n));
    return;
  }
  size_t old = out.size();
  out.resize(old + static_cast<size_t>(n) + 1);
  vsnprintf(&out[old], static_cast<size_t>(n) + 1, fmt, ap);
  out.resize(old + static_cast<size_t>(n));
}

}  // namespace

CString::CString(const char* s) : s_(view(s)) {}

CString::CString(const OLECHAR* s) {
  if (s) {
    size_t n = 0;
    while (s[n]) ++n;
    s_ = utf16ToUtf8(s, n);
  }
}

CString::CString(const _bstr_t& s) : s_(s.str()) {}

CString& CString::operator=(const OLECHAR* s) { return *this = CString(s); }

CString& CString::operator=(const _bstr_t& s) {
  s_ = s.str();
  return *this;
}

CString::CString(const char* s, int length) {
  if (s && length > 0) s_.assign(s, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat) {
  if (repeat > 0) s_.assign(static_cast<size_t>(repeat), ch);
}

CString& CString::operator=(const char* s) {
  s_.assign(view(s));  // safe even when s points into s_
  return *this;
}

CString& CString::operator=(const std::string& s) {
  s_ = s;
  return *this;
}

CString& CString::operator=(char ch) {
  s_.assign(1, ch);
  return *this;
}

CString& CString::operator+=(const char* s) {
  s_.append(view(s));
  return *this;
}

int CString::Compare(const char* s) const { return sign(std::string_view(s_).compare(view(s))); }

int CString::CompareNoCase(const char* s) const {
  std::string_view b = view(s);
  size_t n = std::min(s_.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(asciiLower(s_[i]));
    unsigned char y = static_cast<unsigned char>(asciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return sign(static_cast<int>(s_.size() > b.size()) - static_cast<int>(s_.size() < b.size()));
}

int CString::Find(const char* sub, int start) const {
  if (!sub || start < 0 || static_cast<size_t>(start) > s_.size()) return -1;
  size_t pos = s_.find(sub, static_cast<size_t>(start));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(char ch, int start) const {
  if (start < 0 || static_cast<size_t>(start) >= s_.size()) return -1;
  size_t pos = s_.find(ch, static_cast<size_t>(start));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
  size_t pos = s_.rfind(ch);
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(const char* set) const {
  if (!set || !*set) return -1;
  size_t pos = s_.find_first_of(set);
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  int len = GetLength();
  if (first < 0) first = 0;
  if (count < 0) count = 0;
  if (first > len) first = len;
  if (count > len - first) count = len - first;
  return CString(s_.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
  int len = GetLength();
  if (count < 0) count = 0;
  if (count > len) count = len;
  return Mid(len - count, count);
}

CString& CString::MakeUpper() {
  for (char& c : s_) c = asciiUpper(c);
  return *this;
}

CString& CString::MakeLower() {
  for (char& c : s_) c = asciiLower(c);
  return *this;
}

CString& CString::MakeReverse() {
  std::reverse(s_.begin(), s_.end());
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(char ch) { return TrimRight(ch).TrimLeft(ch); }
CString& CString::Trim(const char* set) { return TrimRight(set).TrimLeft(set); }
CString& CString::TrimLeft() { return TrimLeft(kWhiteSpace); }
CString& CString::TrimRight() { return TrimRight(kWhiteSpace); }

CString& CString::TrimLeft(char ch) {
  char set[2] = {ch, 0};
  if (ch == 0) return *this;
  return TrimLeft(set);
}

CString& CString::TrimRight(char ch) {
  char set[2] = {ch, 0};
  if (ch == 0) return *this;
  return TrimRight(set);
}

CString& CString::TrimLeft(const char* set) {
  if (!set || !*set) return *this;
  size_t pos = s_.find_first_not_of(set);
  s_.erase(0, pos == std::string::npos ? s_.size() : pos);
  return *this;
}

CString& CString::TrimRight(const char* set) {
  if (!set || !*set) return *this;
  size_t pos = s_.find_last_not_of(set);
  s_.erase(pos == std::string::npos ? 0 : pos + 1);
  return *this;
}

int CString::Replace(const char* from, const char* to) {
  std::string_view f = view(from);
  if (f.empty()) return 0;
  std::string t(view(to));  // copy: `to` may point into this string
  std::string out;
  int count = 0;
  size_t pos = 0;
  for (;;) {
    size_t hit = s_.find(f.data(), pos, f.size());
    if (hit == std::string::npos) break;
    out.append(s_, pos, hit - pos);
    out += t;
    pos = hit + f.size();
    ++count;
  }
  if (count == 0) return 0;
  out.append(s_, pos, std::string::npos);
  s_.swap(out);
  return count;
}

int CString::Replace(char from, char to) {
  int count = 0;
  for (char& c : s_) {
    if (c == from) {
      c = to;
      ++count;
    }
  }
  return count;
}

int CString::Remove(char ch) {
  size_t before = s_.size();
  s_.erase(std::remove(s_.begin(), s_.end(), ch), s_.end());
  return static_cast<int>(before - s_.size());
}

int CString::Insert(int index, const char* s) {
  index = std::clamp(index, 0, GetLength());
  s_.insert(static_cast<size_t>(index), std::string(view(s)));
  return GetLength();
}

int CString::Insert(int index, char ch) {
  index = std::clamp(index, 0, GetLength());
  s_.insert(static_cast<size_t>(index), 1, ch);
  return GetLength();
}

int CString::Delete(int index, int count) {
  if (index < 0) index = 0;
  if (count > 0 && index < GetLength()) s_.erase(static_cast<size_t>(index), static_cast<size_t>(count));
  return GetLength();
}

void CString::Format(const char* fmt, ...) {
  std::string out;
  va_list ap;
  va_start(ap, fmt);
  appendV(out, fmt, ap);  // arguments may point into this string: format first
  va_end(ap);
  s_.swap(out);
}

void CString::AppendFormat(const char* fmt, ...) {
  std::string out;
  va_list ap;
  va_start(ap, fmt);
  appendV(out, fmt, ap);
  va_end(ap);
  s_ += out;
}

char* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) s_.resize(static_cast<size_t>(minLength));
  return &s_[0];
}

char* CString::GetBufferSetLength(int length) {
  s_.resize(static_cast<size_t>(std::max(length, 0)));
  return &s_[0];
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) {
    s_.resize(strnlen(s_.c_str(), s_.size()));
  } else if (static_cast<size_t>(newLength) <= s_.size()) {
    s_.resize(static_cast<size_t>(newLength));
  }
}

CString operator+(const CString& a, const CString& b) { return CString(a.str() + b.str()); }
CString operator+(const CString& a, const char* b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(const char* a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(const CString& a, char b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(char a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}
