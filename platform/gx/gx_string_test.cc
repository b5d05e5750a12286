// GxString: 1-based positions, conversions and operators the callers use.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "platform/gx/gx_string.h"
#include "platform/win32/cstring.h"

namespace {

struct IndexCase {
  const char* text;
  const char* pattern;
  long start;
  long expected;
  const char* why;
};

TEST(GxStringTest, IndexOfIsOneBasedAndZeroWhenAbsent) {
  const IndexCase cases[] = {
      {"hello", "l", 0, 3, "start 0 searches from the beginning"},
      {"hello", "l", 1, 3, "start 1 is the first character"},
      {"hello", "l", 4, 4, "occurrence at the start position counts"},
      {"hello", "l", 5, 0, "nothing at or after the start"},
      {"hello", "x", 0, 0, "no occurrence"},
      {"hello", "hello", 0, 1, "whole text"},
      {"hello", "o", 6, 0, "start beyond the end"},
      {"aaa", "aa", 2, 2, "overlapping candidates"},
      {"report.final.PDF", ".", 8, 13, "second dot"},
      {"", "x", 0, 0, "empty text"},
      {"", "", 0, 1, "empty pattern in empty text"},
      {"abc", "", 2, 2, "empty pattern at the start position"},
  };
  for (const IndexCase& c : cases) {
    EXPECT_EQ(GxString(c.text).indexOf(c.pattern, c.start), c.expected)
        << c.why << ": indexOf(\"" << c.pattern << "\", " << c.start << ") in \"" << c.text << "\"";
    EXPECT_EQ(GxString(c.text).indexOf(GxString(c.pattern), c.start), c.expected) << c.why;
  }
}

struct SubCase {
  const char* text;
  long start;
  long length;
  const char* expected;
};

TEST(GxStringTest, SubStringTakesOneBasedStartAndClips) {
  const SubCase cases[] = {
      {"hello", 2, 3, "ell"}, {"hello", 1, -1, "hello"}, {"hello", 4, 10, "lo"},
      {"hello", 6, 1, ""},    {"hello", 0, 2, "he"},     {"hello", 5, 0, ""},
      {"", 1, 3, ""},         {"KEY#@#value", 7, -1, "value"},
  };
  for (const SubCase& c : cases)
    EXPECT_EQ(GxString(c.text).subString(c.start, c.length), c.expected)
        << "subString(" << c.start << ", " << c.length << ") of \"" << c.text << "\"";
}

TEST(GxStringTest, AsIntReadsLeadingDecimal) {
  const std::pair<const char*, long> cases[] = {
      {"42", 42}, {" -7x", -7}, {"+3", 3}, {"x1", 0}, {"", 0}, {"2050", 2050},
      {"99999999999999999999999", LONG_MAX}, {"-99999999999999999999999", LONG_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(GxString(c.first).asInt(), c.second) << "\"" << c.first << "\"";
}

TEST(GxStringTest, ConstructsFromNumbersAsDecimalText) {
  EXPECT_EQ(GxString(static_cast<short>(-12)), "-12");
  EXPECT_EQ(GxString(7), "7");
  EXPECT_EQ(GxString(-1234567890L), "-1234567890");
  EXPECT_EQ(GxString(4000000000UL), "4000000000");
  EXPECT_EQ(GxString(static_cast<const char*>(nullptr)), "");
}

TEST(GxStringTest, UpperCaseChangesInPlaceAndReturnsItself) {
  GxString s("mixed Case 1");
  GxString& r = s.upperCase();
  EXPECT_EQ(&r, &s);
  EXPECT_EQ(s, "MIXED CASE 1");
  EXPECT_EQ(s.lowerCase(), "mixed case 1");
}

TEST(GxStringTest, OperatorsWithCStringsAndStrings) {
  GxString a("ab");
  EXPECT_EQ(a + "cd", "abcd");
  EXPECT_EQ(a + GxString("x"), "abx");
  EXPECT_EQ("<" + a, "<ab");
  a += "c";
  a += GxString("d");
  EXPECT_EQ(a, GxString("abcd"));
  EXPECT_TRUE(a == "abcd");
  EXPECT_TRUE("abcd" == a);
  EXPECT_TRUE(a != "abc");
  EXPECT_TRUE("abc" != a);
  EXPECT_FALSE(a != GxString("abcd"));
  EXPECT_EQ(a.length(), 4);
  EXPECT_EQ(a.size(), 4);
  EXPECT_TRUE(GxString("") == static_cast<const char*>(nullptr));
}

TEST(GxStringTest, AssignmentFromItsOwnCharacters) {
  GxString s("xhello");
  s = s.c_str() + 1;  // the source lies inside the target
  EXPECT_EQ(s, "hello");
  s = s;
  EXPECT_EQ(s, "hello");
  GxString t;
  t = static_cast<const char*>(nullptr);
  EXPECT_TRUE(t.isEmpty());
}

TEST(GxStringTest, AssignsFromFrameworkAndStandardStrings) {
  GxString s("old");
  CString c("qeladmin");
  s = c;
  EXPECT_EQ(s, "qeladmin");
  s = CString(std::string("a\0b", 3));  // bytes as they are, NUL included
  EXPECT_EQ(s.length(), 3);
  s = CString();
  EXPECT_TRUE(s.isEmpty());
  s = std::string("std");
  EXPECT_EQ(s, "std");
}

TEST(GxStringTest, WritableCStringAndStreamOutput) {
  GxString s("abc");
  char* p = s;
  p[0] = 'X';
  EXPECT_EQ(s, "Xbc");
  std::ostringstream os;
  os << s << '|' << GxString(5);
  EXPECT_EQ(os.str(), "Xbc|5");
}

TEST(GxStringTest, CopiesAndMovesAreIndependent) {
  GxString a("one");
  GxString b(a);
  b += "two";
  EXPECT_EQ(a, "one");
  GxString c(std::move(b));
  EXPECT_EQ(c, "onetwo");
  EXPECT_EQ(b, "");  // moved-from stays usable
  b = "again";
  EXPECT_EQ(b, "again");
}

}  // namespace
