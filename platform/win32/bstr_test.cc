#include "bstr.h"

#include <gtest/gtest.h>

#include <cstring>

#include "com_error.h"
#include "cstring.h"

namespace {

TEST(BstrTest, NullVersusEmpty) {
  BSTR empty = SysAllocString(u"");
  ASSERT_NE(nullptr, empty);
  EXPECT_EQ(0u, SysStringLen(empty));
  EXPECT_EQ(0u, SysStringLen(nullptr));
  EXPECT_EQ(0u, SysStringByteLen(nullptr));
  EXPECT_EQ(u'\0', empty[0]);
  EXPECT_EQ(nullptr, SysAllocString(nullptr));
  SysFreeString(empty);
  SysFreeString(nullptr);

  _bstr_t none;
  EXPECT_EQ(nullptr, static_cast<BSTR>(none));
  EXPECT_EQ(nullptr, static_cast<const char*>(none));
  EXPECT_TRUE(!none);
  _bstr_t emptyStr("");
  EXPECT_NE(nullptr, static_cast<BSTR>(emptyStr));
  EXPECT_STREQ("", static_cast<const char*>(emptyStr));
  EXPECT_FALSE(!emptyStr);
  EXPECT_TRUE(none == emptyStr) << "no string compares equal to an empty string";
  EXPECT_EQ(nullptr, static_cast<BSTR>(_bstr_t(static_cast<const char*>(nullptr))));
}

TEST(BstrTest, LayoutHasBytePrefixAndTerminator) {
  BSTR s = SysAllocStringLen(u"ab\0cd", 5);
  ASSERT_NE(nullptr, s);
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
  EXPECT_EQ(10u, prefix);
  EXPECT_EQ(5u, SysStringLen(s));
  EXPECT_EQ(10u, SysStringByteLen(s));
  EXPECT_EQ(u'd', s[4]);
  EXPECT_EQ(u'\0', s[5]);
  EXPECT_TRUE(SysReAllocString(&s, s + 3)) << "source inside the old string";
  EXPECT_EQ(std::u16string(u"cd"), std::u16string(s, SysStringLen(s)));
  SysFreeString(s);
}

TEST(BstrTest, Utf8Utf16RoundTrip) {
  struct Row {
    const char* utf8;
    std::u16string utf16;
    const char* why;
  };
  const Row rows[] = {
      {"", u"", "empty"},
      {"plain", u"plain", "ASCII"},
      {"Grüße – 東京 😀", u"Grüße – 東京 😀", "two-, three- and four-byte forms"},
      {"\xF0\x9F\x98\x80", std::u16string{0xD83D, 0xDE00}, "astral plane becomes a surrogate pair"},
      {"\xF4\x8F\xBF\xBF", std::u16string{0xDBFF, 0xDFFF}, "U+10FFFF, the highest code point"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.utf16, utf8ToUtf16(r.utf8)) << r.why;
    EXPECT_EQ(std::string(r.utf8), utf16ToUtf8(r.utf16)) << r.why;
    _bstr_t b(r.utf8);
    EXPECT_EQ(r.utf16.size(), b.length()) << r.why;
    EXPECT_STREQ(r.utf8, static_cast<const char*>(b)) << r.why;
  }
}

}  // namespace
