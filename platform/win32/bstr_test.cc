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

namespace {

TEST(BstrTest, InvalidInputBecomesReplacementCharacter) {
  struct Row {
    std::string utf8;
    std::u16string utf16;
    const char* why;
  };
  const Row rows[] = {
      {"a\x80z", u"a\uFFFDz", "lone continuation byte"},
      {"a\xC3", u"a\uFFFD", "truncated two-byte sequence at the end"},
      {"\xE6\x9D" "z", u"\uFFFDz", "truncated three-byte sequence: one U+FFFD for the maximal prefix"},
      {"\xC0\xAF", u"\uFFFD\uFFFD", "overlong form of '/'"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", "encoded surrogate"},
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", "above U+10FFFF"},
      {"\xFF", u"\uFFFD", "byte never valid"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3), "embedded NUL kept"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.utf16, utf8ToUtf16(r.utf8)) << r.why;
  }
  const char16_t unpaired[] = {u'x', 0xD800, u'y', 0xDC00};
  EXPECT_EQ("x\xEF\xBF\xBDy\xEF\xBF\xBD", utf16ToUtf8(unpaired, 4)) << "unpaired surrogates";
  const char16_t highAtEnd[] = {0xD83D};
  EXPECT_EQ("\xEF\xBF\xBD", utf16ToUtf8(highAtEnd, 1)) << "high surrogate cut off at the end";
  EXPECT_EQ("", utf16ToUtf8(nullptr, 3));
}

TEST(BstrTest, BstrTOwnershipAndOperators) {
  BSTR raw = SysAllocString(u"owned");
  _bstr_t attached(raw, false);
  EXPECT_EQ(raw, static_cast<BSTR>(attached)) << "attach keeps the pointer";
  _bstr_t copied(raw, true);
  EXPECT_NE(raw, static_cast<BSTR>(copied)) << "copy makes a new string";
  EXPECT_TRUE(attached == copied);
  BSTR detached = attached.Detach();
  EXPECT_EQ(raw, detached);
  EXPECT_TRUE(!attached);
  SysFreeString(detached);

  _bstr_t a("abc");
  _bstr_t b = a;
  EXPECT_NE(static_cast<BSTR>(a), static_cast<BSTR>(b)) << "copies are independent";
  b += "d";
  EXPECT_STREQ("abc", static_cast<const char*>(a));
  EXPECT_STREQ("abcd", static_cast<const char*>(b));
  EXPECT_TRUE(b == "abcd");
  EXPECT_TRUE(b != u"abc");
  EXPECT_TRUE(a < b);
  EXPECT_STREQ("xabc", static_cast<const char*>("x" + a));
  EXPECT_STREQ("abcabcd", static_cast<const char*>(a + b));
  _bstr_t none;
  EXPECT_TRUE(!(none + none)) << "no string plus no string is still no string";
  EXPECT_FALSE(!(none + _bstr_t(""))) << "either operand holding a string gives a string";

  BSTR c = a.copy();
  EXPECT_EQ(3u, SysStringLen(c));
  SysFreeString(c);
  EXPECT_EQ(nullptr, none.copy());

  _bstr_t out;
  *out.GetAddress() = SysAllocString(u"filled");
  EXPECT_STREQ("filled", static_cast<const char*>(out));
  BSTR& ref = out.GetBSTR();
  SysReAllocString(&ref, u"changed");
  EXPECT_STREQ("changed", static_cast<const char*>(out)) << "narrow text follows changes made through GetBSTR";

  CString cs("Grüße");
  _bstr_t fromCs(cs);
  EXPECT_EQ(5u, fromCs.length());
  CString back(fromCs);
  EXPECT_EQ(cs, back);
  CString assigned;
  assigned = fromCs;
  EXPECT_EQ(cs, assigned);
  EXPECT_EQ("Grüße", CString(u"Grüße").str());
  EXPECT_EQ("", CString(static_cast<const OLECHAR*>(nullptr)).str());
  EXPECT_EQ("", CString(_bstr_t()).str()) << "no string becomes an empty CString";
  EXPECT_EQ("std", _bstr_t(std::string("std")).str());
}

TEST(ComErrorTest, CarriesHresultAndTexts) {
  try {
    _com_issue_error(E_OUTOFMEMORY);
    FAIL() << "no throw";
  } catch (const _com_error& e) {
    EXPECT_EQ(E_OUTOFMEMORY, e.Error());
    EXPECT_STREQ("Not enough memory resources are available.", e.ErrorMessage());
    EXPECT_TRUE(!e.Source());
  }
  _com_error unknown(static_cast<HRESULT>(0x80001234u));
  EXPECT_STREQ("Unknown error 0x80001234", unknown.ErrorMessage());
  _com_error info(DISP_E_EXCEPTION, "SoapClient", "fault text");
  EXPECT_STREQ("SoapClient", static_cast<const char*>(info.Source()));
  EXPECT_STREQ("fault text", static_cast<const char*>(info.Description()));
  EXPECT_STREQ("DISP_E_EXCEPTION", qelHresultName(DISP_E_EXCEPTION));
  EXPECT_EQ(nullptr, qelHresultName(static_cast<HRESULT>(0x80001234u)));
}

TEST(HresultTest, ValuesMatchTheWire) {
  struct Row {
    HRESULT hr;
    uint32_t value;
    const char* name;
  };
  const Row rows[] = {
      {DISP_E_UNKNOWNINTERFACE, 0x80020001u, "DISP_E_UNKNOWNINTERFACE"},
      {DISP_E_MEMBERNOTFOUND, 0x80020003u, "DISP_E_MEMBERNOTFOUND"},
      {DISP_E_PARAMNOTFOUND, 0x80020004u, "DISP_E_PARAMNOTFOUND"},
      {DISP_E_TYPEMISMATCH, 0x80020005u, "DISP_E_TYPEMISMATCH"},
      {DISP_E_UNKNOWNNAME, 0x80020006u, "DISP_E_UNKNOWNNAME"},
      {DISP_E_NONAMEDARGS, 0x80020007u, "DISP_E_NONAMEDARGS"},
      {DISP_E_BADVARTYPE, 0x80020008u, "DISP_E_BADVARTYPE"},
      {DISP_E_EXCEPTION, 0x80020009u, "DISP_E_EXCEPTION"},
      {DISP_E_OVERFLOW, 0x8002000Au, "DISP_E_OVERFLOW"},
      {DISP_E_BADINDEX, 0x8002000Bu, "DISP_E_BADINDEX"},
      {DISP_E_UNKNOWNLCID, 0x8002000Cu, "DISP_E_UNKNOWNLCID"},
      {DISP_E_ARRAYISLOCKED, 0x8002000Du, "DISP_E_ARRAYISLOCKED"},
      {DISP_E_BADPARAMCOUNT, 0x8002000Eu, "DISP_E_BADPARAMCOUNT"},
      {DISP_E_PARAMNOTOPTIONAL, 0x8002000Fu, "DISP_E_PARAMNOTOPTIONAL"},
      {E_FAIL, 0x80004005u, "E_FAIL"},
      {E_NOTIMPL, 0x80004001u, "E_NOTIMPL"},
      {E_OUTOFMEMORY, 0x8007000Eu, "E_OUTOFMEMORY"},
      {E_NOINTERFACE, 0x80004002u, "E_NOINTERFACE"},
      {E_POINTER, 0x80004003u, "E_POINTER"},
      {E_INVALIDARG, 0x80070057u, "E_INVALIDARG"},
      {E_UNEXPECTED, 0x8000FFFFu, "E_UNEXPECTED"},
      {CLASS_E_NOAGGREGATION, 0x80040110u, "CLASS_E_NOAGGREGATION"},
      {REGDB_E_CLASSNOTREG, 0x80040154u, "REGDB_E_CLASSNOTREG"},
      {CO_E_CLASSSTRING, 0x800401F3u, "CO_E_CLASSSTRING"},
      {RPC_E_CHANGED_MODE, 0x80010106u, "RPC_E_CHANGED_MODE"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.value, static_cast<uint32_t>(r.hr)) << r.name;
    EXPECT_TRUE(FAILED(r.hr)) << r.name;
    EXPECT_STREQ(r.name, qelHresultName(r.hr));
  }
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
  EXPECT_EQ(7u, CLSCTX_ALL);
  EXPECT_EQ(0x0800u, LOCALE_SYSTEM_DEFAULT);
  EXPECT_EQ(260u, MAX_PATH);
}

}  // namespace

namespace {

// Regression: after GetAddress/GetBSTR every read of the narrow text
// reallocated it, freeing the pointer an earlier read had returned.
TEST(BstrTest, NarrowPointerSurvivesRereadAfterGetAddressRegression) {
  _bstr_t b;
  *b.GetAddress() = SysAllocString(u"kept");
  const char* first = b;
  const char* second = b;
  EXPECT_EQ(first, second);
  EXPECT_STREQ("kept", first) << "the first pointer is still readable (ASan checks)";
}

}  // namespace
