#include "sessions.h"

#include <gtest/gtest.h>

#include "soap_message.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

class SessionTableTest : public ::testing::Test {
 protected:
  std::chrono::steady_clock::time_point now{};
  SessionTable table{60s, [this] { return now; }};
  std::vector<std::string> controllers{"LoginManager", "ClientController", "ConfigurationController",
                                       "UserController"};

  std::string faultOf(const std::string& controller, const std::string& handle, bool present = true) {
    try {
      table.check(controller, handle, present);
    } catch (const SoapFault& f) {
      return f.what();
    }
    return "";
  }
};

TEST_F(SessionTableTest, KeysAndHandlesAreRandomHexAndDistinct) {
  Session s;
  s.userName = "u";
  std::string k1 = table.open(s, controllers);
  std::string k2 = table.open(s, controllers);
  EXPECT_EQ(k1.size(), 32u);
  EXPECT_EQ(k1.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(k1, k2);
  Session got = table.check("ClientController", k1, true);
  EXPECT_EQ(got.clientKey, k1);
  ASSERT_EQ(got.handles.size(), 2u);  // no handle for the login manager or the client controller
  EXPECT_NE(got.handles.at("ConfigurationController"), got.handles.at("UserController"));
  EXPECT_EQ(table.check("UserController", got.handles.at("UserController"), true).userName, "u");
}

TEST_F(SessionTableTest, RefusedHandlesNameTheReason) {
  std::string key = table.open(Session{}, controllers);
  std::string config = table.check("ClientController", key, true).handles.at("ConfigurationController");
  struct Row {
    std::string controller, handle;
    bool present;
    std::string expected;
  } rows[] = {
      {"ConfigurationController", "", false, "missing SessionHandle header for ConfigurationController"},
      {"ConfigurationController", "", true, "empty SessionHandle header for ConfigurationController"},
      {"ConfigurationController", "0123", true, "unknown handle for ConfigurationController"},
      {"UserController", config, true, "handle belongs to ConfigurationController, not to UserController"},
      {"ConfigurationController", key, true, "handle belongs to ClientController, not to ConfigurationController"},
  };
  for (const Row& r : rows) EXPECT_EQ(faultOf(r.controller, r.handle, r.present), r.expected) << r.handle;
}

TEST_F(SessionTableTest, IdleSessionsExpireAndUseKeepsThemAlive) {
  std::string key = table.open(Session{}, controllers);
  now += 50s;
  table.check("ClientController", key, true);  // touches
  now += 50s;
  EXPECT_EQ(faultOf("ClientController", key), "");
  now += 61s;
  EXPECT_EQ(faultOf("ClientController", key), "expired handle: the session was idle too long");
  EXPECT_EQ(table.size(), 0u);
}

TEST_F(SessionTableTest, CloseEndsEveryHandle) {
  std::string key = table.open(Session{}, controllers);
  std::string user = table.check("ClientController", key, true).handles.at("UserController");
  EXPECT_TRUE(table.close(key));
  EXPECT_FALSE(table.close(key));
  EXPECT_EQ(faultOf("ClientController", key), "unknown handle for ClientController");
  EXPECT_EQ(faultOf("UserController", user), "unknown handle for UserController");
}

TEST(SessionTable, OpenSessionsAreCapped) {
  std::chrono::steady_clock::time_point now{};
  SessionTable table(60s, [&] { return now; }, 2);
  std::string first = table.open(Session{}, {});
  table.open(Session{}, {});
  try {
    table.open(Session{}, {});
    ADD_FAILURE() << "third session opened";
  } catch (const SoapFault& f) {
    EXPECT_FALSE(f.clientFault());
    EXPECT_STREQ(f.what(), "too many open sessions: log out or wait for idle ones to expire");
  }
  table.close(first);
  EXPECT_NO_THROW(table.open(Session{}, {}));
  now += 61s;  // both expire: room again
  table.open(Session{}, {});
  EXPECT_EQ(table.size(), 1u);
}

}  // namespace
}  // namespace hollin
