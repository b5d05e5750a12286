#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TaVNtrace.h"
#include "TaVNtraceCapture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Sets an environment variable for one test and restores the old value.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    had_ = std::getenv(name) != nullptr;
    if (value == nullptr) {
      unsetenv(name);
    } else {
      setenv(name, value, 1);
    }
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_.c_str(), old_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_, old_;
  bool had_ = false;
};

// The line with every digit replaced by '9', to compare against a layout.
std::string digitsMasked(std::string s) {
  for (char& c : s) {
    if (c >= '0' && c <= '9') c = '9';
  }
  return s;
}

std::string formatted(const char* format, ...) {
  TraceCapture cap;
  va_list args;
  va_start(args, format);
  TaVNOutputTraceV(2, "M", "F", format, args);
  va_end(args);
  auto lines = cap.lines();
  return lines.size() == 1 ? lines[0].text : "<" + std::to_string(lines.size()) + " lines>";
}

// --- formatting --------------------------------------------------------------

struct FormatCase {
  const char* why;
  std::string expected;
  std::string actual;
};

TEST(TraceFormat, ConversionsAsPrintfRenderThem) {
  const wchar_t* wide = L"w\u00e9";
  const FormatCase cases[] = {
      {"plain text", "Begins", formatted("Begins")},
      {"%s", "wsdl = http://x/y", formatted("wsdl = %s", "http://x/y")},
      {"%d negative", "id = -42", formatted("id = %d", -42)},
      {"%i", "7", formatted("%i", 7)},
      {"%u", "4294967295", formatted("%u", 4294967295u)},
      {"%ld", "-9000000000", formatted("%ld", -9000000000L)},
      {"%lu", "18446744073709551615", formatted("%lu", ULONG_MAX)},
      {"%lld", "-5", formatted("%lld", -5LL)},
      {"%x %X", "ff FF", formatted("%x %X", 255u, 255u)},
      {"%#o", "010", formatted("%#o", 8u)},
      {"%c", "a", formatted("%c", 'a')},
      {"%f", "3.250000", formatted("%f", 3.25)},
      {"%.2f", "3.14", formatted("%.2f", 3.14159)},
      {"%e", "1.500000e+00", formatted("%e", 1.5)},
      {"%g", "0.5", formatted("%g", 0.5)},
      {"%Lf", "2.500000", formatted("%Lf", 2.5L)},
      {"%%", "100%", formatted("100%%")},
      {"width and left flag", "[   ab][ab   ]", formatted("[%5s][%-5s]", "ab", "ab")},
      {"zero pad", "007", formatted("%03d", 7)},
      {"sign flags", "+5  5", formatted("%+d % d", 5, 5)},
      {"star width", "[   x]", formatted("[%*s]", 4, "x")},
      {"negative star width left-justifies", "[x   ]", formatted("[%*s]", -4, "x")},
      {"star precision", "abc", formatted("%.*s", 3, "abcdef")},
      {"negative star precision is no precision", "abcdef", formatted("%.*s", -1, "abcdef")},
      {"%zu", "12", formatted("%zu", static_cast<size_t>(12))},
      {"%hd wraps like printf", "-1", formatted("%hd", 65535)},
      {"%hhu", "255", formatted("%hhu", 511u)},
      {"%ls as UTF-8", "w\xc3\xa9", formatted("%ls", wide)},
      {"%lc as UTF-8", "\xe2\x82\xac", formatted("%lc", static_cast<wint_t>(0x20AC))},
      {"several values keep their order", "a=1 b=two c=3.5",
       formatted("a=%d b=%s c=%.1f", 1, "two", 3.5)},
      {"text with no conversion keeps a trailing percent", "50%", formatted("50%")},
  };
  for (const FormatCase& c : cases) EXPECT_EQ(c.expected, c.actual) << c.why;
}

TEST(TraceFormat, IncompleteLongConversionRendersTheRecordId) {
  // The record-id formats of the relationship queries end their conversion at "%l".
  const FormatCase cases[] = {
      {"followed by a blank", "Record 123 has been superseded by more than one record",
       formatted("Record %l has been superseded by more than one record", 123L)},
      {"at the end of the format", "Failed to get link xml for record ID: -77",
       formatted("Failed to get link xml for record ID: %l", -77L)},
      {"values after it stay aligned", "Record 9 has 2 x",
       formatted("Record %l has %d %s", 9L, 2, "x")},
      {"a full long still works", "Record 5", formatted("Record %ld", 5L)},
      {"large long", "Record 9000000000", formatted("Record %l", 9000000000L)},
      {"width applies", "[  12]", formatted("[%4l]", 12L)},
  };
  for (const FormatCase& c : cases) EXPECT_EQ(c.expected, c.actual) << c.why;
}

TEST(TraceFormat, HostileInputIsRenderedSafely) {
  const char* nullText = nullptr;
  const FormatCase cases[] = {
      {"null %s", "name = (null)", formatted("name = %s", nullText)},
      {"null %s keeps width", "[(null)  ]", formatted("[%-8s]", nullText)},
      {"unknown conversion is copied and takes no value", "%y 5", formatted("%y %d", 5)},
      {"lone percent at the end", "abc%", formatted("abc%")},
      {"flags then end", "abc%-0", formatted("abc%-0")},
      {"%n writes nothing", "ab", formatted("ab%n", static_cast<int*>(nullptr))},
      {"huge width is capped, not allocated", "65536", std::to_string(
           formatted("%999999999999d", 1).size())},
  };
  for (const FormatCase& c : cases) EXPECT_EQ(c.expected, c.actual) << c.why;
}

TEST(TraceFormat, NullArgumentsDoNotCrash) {
  TraceCapture cap;
  EXPECT_EQ(0, TaVNOutputTrace(1, nullptr, nullptr, nullptr));
  EXPECT_EQ(0, TaVNOutputTrace(3, "M", nullptr, "x"));
  EXPECT_THAT(cap.lines(), ElementsAre(TraceLine{1, "(null)", "(null)", "(null)"},
                                       TraceLine{3, "M", "(null)", "x"}));
}

// --- output --------------------------------------------------------------------

class TraceOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (std::filesystem::temp_directory_path() / "tavntrace.XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(templ.data()));
    dir_ = templ;
    file_ = (dir_ / "trace.log").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::vector<std::string> fileLines() const {
    std::ifstream in(file_);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

  std::filesystem::path dir_;
  std::string file_;
};

TEST_F(TraceOutput, WritesOneLineWithTimeProcessThreadLevelModuleFunctionText) {
  ScopedEnv level("QELTRACE", "3");
  ScopedEnv file("QELTRACEFILE", file_.c_str());
  TaVNOutputTrace(2, "QELHLN", "initialize", "wsdl = %s", "http://h/x");
  auto lines = fileLines();
  ASSERT_EQ(1u, lines.size());
  const std::string& line = lines[0];
  ASSERT_GT(line.size(), 25u) << line;
  EXPECT_EQ("9999-99-99 99:99:99.999 [", digitsMasked(line.substr(0, 25))) << line;
  const std::string pid = std::to_string(getpid());
  ASSERT_EQ(pid + ":", line.substr(25, pid.size() + 1)) << line;
  const size_t close = line.find("] ", 25);
  ASSERT_NE(std::string::npos, close) << line;
  const std::string tid = line.substr(26 + pid.size(), close - 26 - pid.size());
  EXPECT_FALSE(tid.empty());
  EXPECT_EQ(std::string(tid.size(), '9'), digitsMasked(tid)) << line;
  EXPECT_EQ("2 QELHLN initialize: wsdl = http://h/x", line.substr(close + 2)) << line;
}

TEST_F(TraceOutput, LevelFilterFollowsTheEnvironmentOnEveryCall) {
  ScopedEnv file("QELTRACEFILE", file_.c_str());
  struct Row {
    const char* setting;
    int level;
    bool written;
  } rows[] = {
      {nullptr, 1, false}, {"0", 1, false},  {"", 1, false},    {"abc", 1, false},
      {"-2", 1, false},    {"1", 1, true},   {"1", 2, false},   {"2", 2, true},
      {"2", 3, false},     {"3", 3, true},   {"3", 1, true},    {"10", 3, true},
  };
  for (const Row& row : rows) {
    ScopedEnv level("QELTRACE", row.setting);
    std::filesystem::remove(file_);
    TaVNOutputTrace(row.level, "M", "F", "x");
    EXPECT_EQ(row.written ? 1u : 0u, fileLines().size())
        << "QELTRACE=" << (row.setting ? row.setting : "(unset)") << " level " << row.level;
  }
}

TEST_F(TraceOutput, LineBreaksInTheTextStayOnOneLine) {
  ScopedEnv level("QELTRACE", "3");
  ScopedEnv file("QELTRACEFILE", file_.c_str());
  TaVNOutputTrace(1, "M", "F", "a\nb\r\nc");
  auto lines = fileLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_THAT(lines[0], ::testing::EndsWith(" 1 M F: a\\nb\\r\\nc"));
}

TEST_F(TraceOutput, FileIsPrivateAndAppendedTo) {
  ScopedEnv level("QELTRACE", "3");
  ScopedEnv file("QELTRACEFILE", file_.c_str());
  TaVNOutputTrace(3, "M", "F", "one");
  TaVNOutputTrace(3, "M", "F", "two");
  auto lines = fileLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_THAT(lines[0], ::testing::EndsWith("F: one"));
  EXPECT_THAT(lines[1], ::testing::EndsWith("F: two"));
  struct stat st {};
  ASSERT_EQ(0, stat(file_.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 0777u);
}

TEST_F(TraceOutput, UnwritableFileIsIgnored) {
  ScopedEnv level("QELTRACE", "3");
  const std::string bad = (dir_ / "missing" / "trace.log").string();
  ScopedEnv file("QELTRACEFILE", bad.c_str());
  TraceCapture cap;
  EXPECT_EQ(0, TaVNOutputTrace(1, "M", "F", "lost"));
  EXPECT_FALSE(std::filesystem::exists(bad));
  EXPECT_TRUE(cap.contains(1, "M", "F", "lost"));  // the capture still sees it
}

TEST_F(TraceOutput, ConcurrentLinesNeverInterleave) {
  ScopedEnv level("QELTRACE", "3");
  ScopedEnv file("QELTRACEFILE", file_.c_str());
  constexpr int kThreads = 8, kPerThread = 200;
  const std::string payload(300, 'p');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &payload] {
      for (int i = 0; i < kPerThread; ++i) TaVNOutputTrace(3, "M", "F", "t%d i%d %s", t, i, payload.c_str());
    });
  }
  for (auto& th : threads) th.join();
  auto lines = fileLines();
  ASSERT_EQ(static_cast<size_t>(kThreads * kPerThread), lines.size());
  std::vector<int> perThread(kThreads, 0);
  for (const std::string& line : lines) {
    const size_t at = line.find("] 3 M F: t");
    ASSERT_NE(std::string::npos, at) << line;
    int t = -1, i = -1, used = 0;
    ASSERT_EQ(2, std::sscanf(line.c_str() + at, "] 3 M F: t%d i%d %n", &t, &i, &used)) << line;
    ASSERT_EQ(payload, line.substr(at + static_cast<size_t>(used))) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    ++perThread[t];
  }
  EXPECT_THAT(perThread, ::testing::Each(kPerThread));
}

// --- capture ------------------------------------------------------------------

TEST(TraceCaptureTest, RecordsAllLevelsWhateverTheSetting) {
  ScopedEnv level("QELTRACE", nullptr);
  TraceCapture cap;
  TaVNOutputTrace(3, "QELXml", "loadXMLstring", "loadXML successful");
  TaVNOutputTrace(1, "QELXml", "loadXMLstring", "exception = %s", "boom");
  TaVNOutputTrace(2, "QELHLN", "initialize", "wsdl = %s", "u");
  EXPECT_THAT(cap.lines(),
              ElementsAre(TraceLine{3, "QELXml", "loadXMLstring", "loadXML successful"},
                          TraceLine{1, "QELXml", "loadXMLstring", "exception = boom"},
                          TraceLine{2, "QELHLN", "initialize", "wsdl = u"}));
}

TEST(TraceCaptureTest, FiltersAndCounts) {
  TraceCapture cap;
  TaVNOutputTrace(3, "QELUtilities", "TaVNlogon", "Begins");
  TaVNOutputTrace(3, "QELUtilities", "TaVNdeclare", "Begins");
  TaVNOutputTrace(1, "QELUtilities", "TaVNdeclare", "Invalid input");
  TaVNOutputTrace(3, "QELHLN", "login", "Begins");
  TaVNOutputTrace(3, "QELUtilities", "TaVNdeclare", "Begins");

  EXPECT_EQ(5u, cap.size());
  EXPECT_THAT(cap.texts("QELUtilities", "TaVNdeclare"),
              ElementsAre("Begins", "Invalid input", "Begins"));
  EXPECT_THAT(cap.texts("QELHLN"), ElementsAre("Begins"));
  EXPECT_EQ(4u, cap.lines("QELUtilities").size());
  EXPECT_THAT(cap.lines("QELUtilities", "nothing"), IsEmpty());
  EXPECT_THAT(cap.lines("QELUtil"), IsEmpty()) << "module match is exact, not a prefix";
  EXPECT_EQ(2u, cap.count(3, "QELUtilities", "TaVNdeclare", "Begins"));
  EXPECT_EQ(0u, cap.count(1, "QELUtilities", "TaVNdeclare", "Begins")) << "level is compared";
  EXPECT_EQ(4u, cap.count("Begins"));
  EXPECT_TRUE(cap.contains(1, "QELUtilities", "TaVNdeclare", "Invalid input"));
  EXPECT_FALSE(cap.contains(1, "QELUtilities", "TaVNlogon", "Invalid input"));
  EXPECT_FALSE(cap.contains("Invalid"));
  EXPECT_THAT(cap.texts(), ElementsAre("Begins", "Begins", "Invalid input", "Begins", "Begins"));

  cap.clear();
  EXPECT_EQ(0u, cap.size());
  TaVNOutputTrace(3, "QELHLN", "login", "Ends");
  EXPECT_THAT(cap.texts(), ElementsAre("Ends"));
}

TEST(TraceCaptureTest, RecordsOnlyWhileAlive) {
  TaVNOutputTrace(3, "M", "F", "before");
  TraceCapture outer;
  TaVNOutputTrace(3, "M", "F", "outer only");
  {
    TraceCapture inner;
    TaVNOutputTrace(3, "M", "F", "both");
    EXPECT_THAT(inner.texts(), ElementsAre("both"));
  }
  TaVNOutputTrace(3, "M", "F", "after inner");
  EXPECT_THAT(outer.texts(), ElementsAre("outer only", "both", "after inner"));
}

TEST(TraceCaptureTest, PrintsReadablyForFailureMessages) {
  const TraceLine line{2, "QELHLN", "initialize", "a \"q\"\n\\"};
  EXPECT_EQ(R"({2, "QELHLN", "initialize", "a \"q\"\n\\"})", ::testing::PrintToString(line));
  TraceCapture cap;
  TaVNOutputTrace(1, "M", "F", "x");
  TaVNOutputTrace(3, "M", "G", "y");
  EXPECT_EQ("{1, \"M\", \"F\", \"x\"}\n{3, \"M\", \"G\", \"y\"}\n", cap.dump());
  EXPECT_NE((TraceLine{1, "M", "F", "x"}), (TraceLine{1, "M", "F", "y"}));
}

TEST(TraceCaptureTest, ThreadsTraceWhileCapturesComeAndGo) {
  TraceCapture cap;
  constexpr int kThreads = 4, kPerThread = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kPerThread; ++i) TaVNOutputTrace(3, "M", "F", "%d", t);
    });
  }
  // Short-lived captures and readers racing the writers.
  for (int i = 0; i < 200; ++i) {
    TraceCapture transient;
    (void)transient.size();
    (void)cap.count(3, "M", "F", "0");
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(static_cast<size_t>(kPerThread), cap.count(3, "M", "F", std::to_string(t)));
  }
}

}  // namespace
