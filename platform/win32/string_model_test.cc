// Seeded random tests: _bstr_t against std::optional<std::u16string> and
// CString against std::string, each step checked against the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <string>

#include "bstr.h"
#include "cstring.h"

namespace {

constexpr unsigned kSeed = 20261211;

// Independent encoders for the model (not the library's converters).
void encode(char32_t cp, std::string* u8, std::u16string* u16) {
  if (cp < 0x80) {
    *u8 += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *u8 += static_cast<char>(0xC0 | (cp >> 6));
    *u8 += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *u8 += static_cast<char>(0xE0 | (cp >> 12));
    *u8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *u8 += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *u8 += static_cast<char>(0xF0 | (cp >> 18));
    *u8 += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *u8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *u8 += static_cast<char>(0x80 | (cp & 0x3F));
  }
  if (cp >= 0x10000) {
    *u16 += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    *u16 += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  } else {
    *u16 += static_cast<char16_t>(cp);
  }
}

struct Text {
  std::string u8;
  std::u16string u16;
};

Text randomText(std::mt19937& rng) {
  static const char32_t kPool[] = {U'a', U'Z', U' ', U'0', U'ü', U'ß', U'–', U'東', U'京', U'😀', U'\U0010FFFF', U'\uFFFD'};
  Text t;
  int n = std::uniform_int_distribution<int>(0, 6)(rng);
  for (int i = 0; i < n; ++i) {
    encode(kPool[std::uniform_int_distribution<size_t>(0, std::size(kPool) - 1)(rng)], &t.u8, &t.u16);
  }
  return t;
}

std::string u8Of(const std::u16string& s) {
  // Model-side decoding of well-formed UTF-16 via the encoder above.
  std::string out;
  std::u16string ignored;
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF) c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    encode(c, &out, &ignored);
  }
  return out;
}

int sign(int v) { return (v > 0) - (v < 0); }

TEST(StringModelTest, BstrMatchesModel) {
  std::mt19937 rng(kSeed);
  _bstr_t b;
  std::optional<std::u16string> m;
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE("seed " + std::to_string(kSeed) + " step " + std::to_string(step));
    Text t = randomText(rng);
    switch (std::uniform_int_distribution<int>(0, 9)(rng)) {
      case 0:
        b = t.u8.c_str();
        m = t.u16;
        break;
      case 1:
        b = _bstr_t(t.u16.c_str());
        m = t.u16;
        break;
      case 2:
        b += _bstr_t(t.u8.c_str());
        m = m.value_or(u"") + t.u16;
        break;
      case 3:
        b = t.u8.c_str() + b;
        m = t.u16 + m.value_or(u"");
        break;
      case 4: {
        BSTR raw = b.Detach();
        EXPECT_EQ(nullptr, static_cast<BSTR>(b));
        b.Attach(raw);
        break;
      }
      case 5: {
        _bstr_t copy(b);
        b = _bstr_t();
        m.reset();
        if (std::uniform_int_distribution<int>(0, 1)(rng)) {
          b = copy;
          m = copy.u16str();
          if (!copy) m.reset();
        }
        break;
      }
      case 6: {
        BSTR* slot = b.GetAddress();
        *slot = SysAllocString(t.u16.c_str());
        m = t.u16;
        break;
      }
      case 7: {
        BSTR dup = b.copy();
        _bstr_t attached(dup, false);
        EXPECT_TRUE(attached == b);
        break;
      }
      case 8:
        b = _bstr_t(static_cast<const char*>(nullptr));
        m.reset();
        break;
      case 9: {
        _bstr_t other(t.u8.c_str());
        int expected = sign(m.value_or(u"").compare(t.u16));
        EXPECT_EQ(expected, sign(b.compare(other)));
        EXPECT_EQ(expected == 0, b == other);
        EXPECT_EQ(expected < 0, b < other);
        break;
      }
    }
    ASSERT_EQ(!m.has_value(), !b);
    EXPECT_EQ(m ? m->size() : 0u, b.length());
    EXPECT_EQ(m.value_or(u""), b.u16str());
    const char* narrow = b;
    if (m) {
      ASSERT_NE(nullptr, narrow);
      EXPECT_EQ(u8Of(*m), std::string(narrow));
      EXPECT_EQ(narrow, static_cast<const char*>(b)) << "cached while unchanged";
    } else {
      EXPECT_EQ(nullptr, narrow);
    }
  }
}

TEST(StringModelTest, CStringMatchesModel) {
  std::mt19937 rng(kSeed + 1);
  CString s;
  std::string m;
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + 1) + " step " + std::to_string(step));
    std::string t = randomText(rng).u8;
    const char* small[] = {"a", "Z", " ", "ab", "ü", ""};
    const char* w = small[pick(0, 5)];
    int len = static_cast<int>(m.size());
    switch (pick(0, 11)) {
      case 0:
        s = t.c_str();
        m = t;
        break;
      case 1:
        s += t.c_str();
        m += t;
        break;
      case 2: {
        int first = pick(-2, len + 2), count = pick(-2, len + 2);
        int f = std::clamp(first, 0, len);
        int c = std::clamp(count, 0, len - f);
        EXPECT_EQ(m.substr(static_cast<size_t>(f), static_cast<size_t>(c)), s.Mid(first, count).str());
        break;
      }
      case 3: {
        int n = pick(-2, len + 2);
        int c = std::clamp(n, 0, len);
        EXPECT_EQ(m.substr(0, static_cast<size_t>(c)), s.Left(n).str());
        EXPECT_EQ(m.substr(static_cast<size_t>(len - c)), s.Right(n).str());
        break;
      }
      case 4: {
        int start = pick(-1, len + 1);
        size_t pos = start < 0 ? std::string::npos : m.find(w, static_cast<size_t>(start));
        int expected = (start < 0 || start > len || pos == std::string::npos) ? -1 : static_cast<int>(pos);
        EXPECT_EQ(expected, s.Find(w, start)) << "needle '" << w << "' start " << start;
        break;
      }
      case 5: {
        size_t pos = m.rfind('a');
        EXPECT_EQ(pos == std::string::npos ? -1 : static_cast<int>(pos), s.ReverseFind('a'));
        break;
      }
      case 6: {
        const char* from = small[pick(0, 4)];
        int count = 0;
        std::string out;
        size_t at = 0, f = std::strlen(from);
        for (size_t hit; (hit = m.find(from, at)) != std::string::npos; at = hit + f, ++count) {
          out += m.substr(at, hit - at) + w;
        }
        out += m.substr(at);
        EXPECT_EQ(count, s.Replace(from, w));
        m = out;
        break;
      }
      case 7: {
        size_t b = m.find_first_not_of(" \t\r\n\v\f");
        size_t e = m.find_last_not_of(" \t\r\n\v\f");
        m = b == std::string::npos ? "" : m.substr(b, e - b + 1);
        s.Trim();
        break;
      }
      case 8:
        for (char& c : m) {
          if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        }
        s.MakeUpper();
        break;
      case 9: {
        int at = pick(-2, len + 2);
        m.insert(static_cast<size_t>(std::clamp(at, 0, len)), w);
        EXPECT_EQ(static_cast<int>(m.size()), s.Insert(at, w));
        break;
      }
      case 10: {
        int at = pick(-2, len + 2), count = pick(-1, 4);
        int a = std::max(at, 0);
        if (count > 0 && a < len) m.erase(static_cast<size_t>(a), static_cast<size_t>(count));
        EXPECT_EQ(static_cast<int>(m.size()), s.Delete(at, count));
        break;
      }
      case 11: {
        int expected = sign(m.compare(t));
        EXPECT_EQ(expected, sign(s.Compare(t.c_str())));
        EXPECT_EQ(expected == 0, s == t.c_str());
        break;
      }
    }
    ASSERT_EQ(m, s.str());
    EXPECT_EQ(static_cast<int>(m.size()), s.GetLength());
    EXPECT_STREQ(m.c_str(), s.GetString());
  }
}

}  // namespace
