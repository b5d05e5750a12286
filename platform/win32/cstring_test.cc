#include "cstring.h"

#include <gtest/gtest.h>

namespace {

TEST(CStringTest, ConstructionAndConversion) {
  EXPECT_STREQ("", CString().GetString());
  EXPECT_STREQ("", CString(static_cast<const char*>(nullptr)).GetString());
  EXPECT_EQ(3, CString("abc").GetLength());
  EXPECT_EQ("ab", CString("abc", 2).str());
  EXPECT_EQ(std::string("a\0b", 3), CString("a\0b", 3).str());
  EXPECT_EQ("xxx", CString('x', 3).str());
  EXPECT_TRUE(CString('x', 0).IsEmpty());
  CString s("Grüße");
  EXPECT_EQ(7, s.GetLength()) << "lengths count UTF-8 bytes";
  EXPECT_STREQ("Grüße", static_cast<const char*>(s));
}

TEST(CStringTest, FindTable) {
  struct Row {
    const char* hay;
    const char* needle;
    int start;
    int expected;
    const char* why;
  };
  const Row rows[] = {
      {"abcabc", "bc", 0, 1, "first occurrence"},
      {"abcabc", "bc", 2, 4, "search begins at start"},
      {"abcabc", "x", 0, -1, "absent"},
      {"abc", "", 0, 0, "empty needle matches at start"},
      {"abc", "c", 3, -1, "start at the end finds nothing"},
      {"abc", "a", 4, -1, "start beyond the end"},
      {"abc", "a", -1, -1, "negative start"},
      {"", "a", 0, -1, "empty haystack"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.expected, CString(r.hay).Find(r.needle, r.start))
        << r.why << ": Find(\"" << r.needle << "\", " << r.start << ") in \"" << r.hay << "\"";
  }
  EXPECT_EQ(2, CString("a.b.c").Find('b'));
  EXPECT_EQ(3, CString("a.b.c").ReverseFind('.'));
  EXPECT_EQ(-1, CString("abc").ReverseFind('.'));
}

TEST(CStringTest, MidLeftRightClamp) {
  CString s("hello");
  EXPECT_EQ("ell", s.Mid(1, 3).str());
  EXPECT_EQ("llo", s.Mid(2).str());
  EXPECT_EQ("", s.Mid(9).str()) << "first beyond the end";
  EXPECT_EQ("he", s.Mid(-3, 2).str()) << "negative first is clamped to 0";
  EXPECT_EQ("lo", s.Mid(3, 99).str()) << "count clamped to the end";
  EXPECT_EQ("", s.Mid(1, -1).str());
  EXPECT_EQ("he", s.Left(2).str());
  EXPECT_EQ("hello", s.Left(99).str());
  EXPECT_EQ("", s.Left(-1).str());
  EXPECT_EQ("lo", s.Right(2).str());
  EXPECT_EQ("hello", s.Right(99).str());
}

TEST(CStringTest, OperatorsAndComparison) {
  CString a("abc");
  EXPECT_TRUE(a == "abc");
  EXPECT_TRUE("abc" == a);
  EXPECT_TRUE(a != "abd");
  EXPECT_TRUE(a < "abd");
  EXPECT_TRUE(a == CString("abc"));
  EXPECT_EQ("abcdef", (a + "def").str());
  EXPECT_EQ("xabc", ("x" + a).str());
  EXPECT_EQ("abc!", (a + '!').str());
  EXPECT_EQ("abcabc", (a + a).str());
  a += "d";
  a += 'e';
  a += CString("f");
  EXPECT_EQ("abcdef", a.str());
  EXPECT_EQ('b', a[1]);
  EXPECT_EQ('b', a[size_t{1}]);
  a.SetAt(0, 'A');
  EXPECT_EQ('A', a.GetAt(0));
  EXPECT_LT(CString("abc").Compare("abd"), 0);
  EXPECT_GT(CString("abd").Compare("abc"), 0);
  EXPECT_EQ(0, CString("ABC").CompareNoCase("abc"));
  EXPECT_LT(CString("ab").CompareNoCase("ABC"), 0);
}

TEST(CStringTest, TrimReplaceCase) {
  CString s("  \t hi there \r\n");
  s.Trim();
  EXPECT_EQ("hi there", s.str());
  CString t("xxhixx");
  t.TrimLeft('x');
  EXPECT_EQ("hixx", t.str());
  t.TrimRight("x");
  EXPECT_EQ("hi", t.str());
  CString r("a--b--c");
  EXPECT_EQ(2, r.Replace("--", "-"));
  EXPECT_EQ("a-b-c", r.str());
  EXPECT_EQ(0, r.Replace("", "x"));
  CString grow("aa");
  EXPECT_EQ(2, grow.Replace("a", "aa")) << "inserted text is not rescanned";
  EXPECT_EQ("aaaa", grow.str());
  CString u("Grüße abc");
  u.MakeUpper();
  EXPECT_EQ("GRüßE ABC", u.str()) << "only ASCII letters change; UTF-8 bytes stay intact";
  u.MakeLower();
  EXPECT_EQ("grüße abc", u.str());
}

TEST(CStringTest, FormatAndBuffer) {
  CString s;
  s.Format("%d-%s", 42, "x");
  EXPECT_EQ("42-x", s.str());
  s.AppendFormat("/%05.1f", 2.5);
  EXPECT_EQ("42-x/002.5", s.str());
  std::string big(1000, 'z');
  s.Format("%s", big.c_str());
  EXPECT_EQ(big, s.str()) << "output longer than the internal probe buffer";
  s.Format("%s%s", s.GetString(), "!");
  EXPECT_EQ(big + "!", s.str()) << "formatting from its own text";

  CString b;
  char* p = b.GetBuffer(10);
  std::snprintf(p, 11, "%s", "abc");
  b.ReleaseBuffer();
  EXPECT_EQ("abc", b.str());
  p = b.GetBuffer(5);
  p[0] = 'X';
  b.ReleaseBuffer(2);
  EXPECT_EQ("Xb", b.str());
}

}  // namespace
