#include "internal/trace_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <sys/types.h>

namespace qel::trace {
namespace {

// The conversion spec handed to snprintf is rebuilt by us from validated
// pieces, so it is never taken from the caller as it stands.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <class T>
void appendOne(std::string& out, const std::string& spec, T value) {
  char small[128];
  int n = std::snprintf(small, sizeof small, spec.c_str(), value);
  if (n < 0) return;  // e.g. a wide string that does not convert
  if (static_cast<std::size_t>(n) < sizeof small) {
    out.append(small, static_cast<std::size_t>(n));
    return;
  }
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  n = std::snprintf(big.data(), big.size(), spec.c_str(), value);
  if (n > 0) out.append(big.data(), static_cast<std::size_t>(n));
}
#pragma GCC diagnostic pop

enum class Length { None, hh, h, l, ll, j, z, t, L };

// Widths and precisions are capped so that a bad format cannot ask for
// gigabytes of padding.
constexpr long kMaxField = 65536;

long readNumber(const char*& p) {
  long n = 0;
  while (*p >= '0' && *p <= '9') {
    if (n <= kMaxField) n = n * 10 + (*p - '0');
    ++p;
  }
  return n > kMaxField ? kMaxField : n;
}

long clampField(int n) {
  if (n > kMaxField) return kMaxField;
  if (n < -kMaxField) return -kMaxField;
  return n;
}

// Wide text is written as UTF-8, the port's narrow encoding, whatever the
// process locale (the C locale would drop every non-ASCII character).
void appendUtf8(std::string& out, unsigned long cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string wideToUtf8(const wchar_t* s) {
  std::string out;
  for (; *s != L'\0'; ++s) appendUtf8(out, static_cast<unsigned long>(*s));
  return out;
}

bool isConversion(char c) { return c != '\0' && std::strchr("diouxXcspnfFeEgGaA", c) != nullptr; }

}  // namespace

std::string formatTrace(const char* format, va_list args) {
  if (format == nullptr) return "(null)";
  std::string out;
  const char* p = format;
  while (*p != '\0') {
    if (*p != '%') {
      const char* next = std::strchr(p, '%');
      if (next == nullptr) {
        out.append(p);
        break;
      }
      out.append(p, static_cast<std::size_t>(next - p));
      p = next;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out.push_back('%');
      ++p;
      continue;
    }
    std::string spec = "%";
    while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) spec.push_back(*p++);
    if (*p == '*') {
      // A negative width from the argument means left-justify, which is what
      // writing it into the conversion as "-N" says.
      spec += std::to_string(clampField(va_arg(args, int)));
      ++p;
    } else if (*p >= '0' && *p <= '9') {
      spec += std::to_string(readNumber(p));
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        int precision = va_arg(args, int);
        ++p;
        if (precision >= 0) spec += "." + std::to_string(clampField(precision));
      } else {
        spec += "." + std::to_string(readNumber(p));
      }
    }
    Length length = Length::None;
    switch (*p) {
      case 'h':
        if (p[1] == 'h') { length = Length::hh; p += 2; } else { length = Length::h; ++p; }
        break;
      case 'l':
        if (p[1] == 'l') { length = Length::ll; p += 2; } else { length = Length::l; ++p; }
        break;
      case 'j': length = Length::j; ++p; break;
      case 'z': length = Length::z; ++p; break;
      case 't': length = Length::t; ++p; break;
      case 'L': length = Length::L; ++p; break;
      default: break;
    }
    const char conv = *p;
    if (!isConversion(conv)) {
      if (length == Length::l) {
        // Incomplete "%l": a long in decimal; the character after it is text.
        appendOne(out, spec + "ld", va_arg(args, long));
      } else {
        out.append(start, static_cast<std::size_t>(p - start));
      }
      continue;
    }
    ++p;
    switch (conv) {
      case 'd':
      case 'i':
        switch (length) {
          case Length::l: appendOne(out, spec + "ld", va_arg(args, long)); break;
          case Length::ll: appendOne(out, spec + "lld", va_arg(args, long long)); break;
          case Length::j: appendOne(out, spec + "jd", va_arg(args, std::intmax_t)); break;
          case Length::z: appendOne(out, spec + "zd", va_arg(args, ssize_t)); break;
          case Length::t: appendOne(out, spec + "td", va_arg(args, std::ptrdiff_t)); break;
          case Length::hh: appendOne(out, spec + "hhd", va_arg(args, int)); break;
          case Length::h: appendOne(out, spec + "hd", va_arg(args, int)); break;
          default: appendOne(out, spec + "d", va_arg(args, int)); break;
        }
        break;
      case 'o':
      case 'u':
      case 'x':
      case 'X': {
        const std::string c(1, conv);
        switch (length) {
          case Length::l: appendOne(out, spec + "l" + c, va_arg(args, unsigned long)); break;
          case Length::ll: appendOne(out, spec + "ll" + c, va_arg(args, unsigned long long)); break;
          case Length::j: appendOne(out, spec + "j" + c, va_arg(args, std::uintmax_t)); break;
          case Length::z: appendOne(out, spec + "z" + c, va_arg(args, std::size_t)); break;
          case Length::t: appendOne(out, spec + "t" + c, va_arg(args, std::ptrdiff_t)); break;
          case Length::hh: appendOne(out, spec + "hh" + c, va_arg(args, unsigned int)); break;
          case Length::h: appendOne(out, spec + "h" + c, va_arg(args, unsigned int)); break;
          default: appendOne(out, spec + c, va_arg(args, unsigned int)); break;
        }
        break;
      }
      case 'c':
        if (length == Length::l) {
          std::string utf8;
          appendUtf8(utf8, static_cast<unsigned long>(va_arg(args, std::wint_t)));
          appendOne(out, spec + "s", utf8.c_str());
        } else {
          appendOne(out, spec + "c", va_arg(args, int));
        }
        break;
      case 's':
        if (length == Length::l) {
          const wchar_t* s = va_arg(args, const wchar_t*);
          const std::string text = s == nullptr ? std::string("(null)") : wideToUtf8(s);
          appendOne(out, spec + "s", text.c_str());
        } else {
          const char* s = va_arg(args, const char*);
          appendOne(out, spec + "s", s == nullptr ? "(null)" : s);
        }
        break;
      case 'p':
        appendOne(out, spec + "p", va_arg(args, void*));
        break;
      case 'n':
        // Writing through a caller's pointer from a trace line is never wanted.
        (void)va_arg(args, void*);
        break;
      default: {  // floating point
        const std::string c(1, conv);
        if (length == Length::L) {
          appendOne(out, spec + "L" + c, va_arg(args, long double));
        } else {
          appendOne(out, spec + c, va_arg(args, double));
        }
        break;
      }
    }
  }
  return out;
}

}  // namespace qel::trace
