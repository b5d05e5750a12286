#include "debug_output.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "environment.h"

namespace {

TEST(DebugOutputTest, CaptureRecordsEveryCallInOrder) {
  DebugOutputCapture outer;
  OutputDebugStringA("ERROR [TaVNcache]: null cache name\n");
  {
    DebugOutputCapture inner;
    OutputDebugStringA("INFO [x]: ");
    OutputDebugStringA(nullptr);
    OutputDebugStringA("");
    EXPECT_EQ((std::vector<std::string>{"INFO [x]: ", ""}), inner.texts()) << "null is ignored, empty is a call";
  }
  OutputDebugStringA("after");
  EXPECT_EQ((std::vector<std::string>{"ERROR [TaVNcache]: null cache name\n", "INFO [x]: ", "", "after"}),
            outer.texts());
  EXPECT_EQ("ERROR [TaVNcache]: null cache name\nINFO [x]: after", outer.joined());
  outer.clear();
  EXPECT_TRUE(outer.texts().empty());
}

TEST(DebugOutputTest, CaptureSeesAllThreads) {
  DebugOutputCapture capture;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 100; ++i) OutputDebugStringA("x");
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(400u, capture.texts().size());
}

TEST(DebugOutputTest, WritesToTheFileNamedByTheEnvironment) {
  char tmpl[] = "/tmp/qelwin-dbg-XXXXXX";
  int fd = mkstemp(tmpl);
  ASSERT_GE(fd, 0);
  close(fd);
  std::optional<std::string> old = qelGetEnv("QEL_DEBUG_OUTPUT");
  SetEnvironmentVariableA("QEL_DEBUG_OUTPUT", tmpl);
  OutputDebugStringA("line one\n");
  OutputDebugStringA("line two");
  SetEnvironmentVariableA("QEL_DEBUG_OUTPUT", nullptr);
  OutputDebugStringA("not written\n");
  SetEnvironmentVariableA("QEL_DEBUG_OUTPUT", old ? old->c_str() : nullptr);
  std::ifstream in(tmpl);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ("line one\nline two", content.str()) << "text as given, appended, nothing when unset";
  unlink(tmpl);
}

}  // namespace
