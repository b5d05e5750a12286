#include "environment.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(EnvironmentTest, WindowsReturnConventions) {
  const char* name = "QELWIN_TEST_VAR";
  ASSERT_TRUE(SetEnvironmentVariableA(name, "value"));
  struct Row {
    DWORD size;
    DWORD expected;
    const char* buffer;  // expected buffer content, or null when untouched
    const char* why;
  };
  const Row rows[] = {
      {64, 5, "value", "fits: length without the NUL"},
      {6, 5, "value", "exactly fits with the NUL"},
      {5, 6, nullptr, "no room for the NUL: needed size with the NUL"},
      {0, 6, nullptr, "size query"},
  };
  for (const Row& r : rows) {
    char buf[64];
    std::memset(buf, '#', sizeof buf);
    SetLastError(12345);
    EXPECT_EQ(r.expected, GetEnvironmentVariableA(name, buf, r.size)) << r.why;
    if (r.buffer) {
      EXPECT_STREQ(r.buffer, buf) << r.why;
    } else {
      EXPECT_EQ('#', buf[0]) << r.why << ": buffer untouched";
    }
  }
  EXPECT_EQ(6u, GetEnvironmentVariableA(name, nullptr, 0));

  ASSERT_TRUE(SetEnvironmentVariableA(name, ""));
  char buf[4] = "xx";
  SetLastError(12345);
  EXPECT_EQ(0u, GetEnvironmentVariableA(name, buf, sizeof buf));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError()) << "empty but present";
  EXPECT_EQ(std::optional<std::string>(""), qelGetEnv(name));

  ASSERT_TRUE(SetEnvironmentVariableA(name, nullptr));
  EXPECT_EQ(0u, GetEnvironmentVariableA(name, buf, sizeof buf));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError()) << "absent";
  EXPECT_EQ(std::nullopt, qelGetEnv(name));
  EXPECT_EQ(std::nullopt, qelGetEnv(nullptr));

  EXPECT_FALSE(SetEnvironmentVariableA("A=B", "x"));
  EXPECT_FALSE(SetEnvironmentVariableA("", "x"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

}  // namespace
