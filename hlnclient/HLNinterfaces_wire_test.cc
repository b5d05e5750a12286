// The facade through the real SOAP client component, against a minimal
// records server on loopback.
#include <gtest/gtest.h>

#include "HLNinterfaces.h"
#include "TaVNtraceCapture.h"
#include "soap_client.h"
#include "testing/mini_records_server.h"

namespace {

using hln_testing::MiniRecordsServer;

class FacadeWire : public ::testing::Test {
 protected:
  FacadeWire() { qelsoapFlushWsdlCache(); }
  ~FacadeWire() override { qelsoapCloseConnections(); }
  MiniRecordsServer server;
};

TEST_F(FacadeWire, LoginCallsFaultAndLogout) {
  HLNinterfaces f{CString(server.url())};
  ASSERT_TRUE(f.IsInitialized());
  EXPECT_EQ(f.integrationLogin("administrator", "pw", "db", "", "en").str(),
            MiniRecordsServer::kClientKey);
  EXPECT_EQ(f.getHostList().str(), "<List/>");
  EXPECT_EQ(f.getuserid(), 7);
  EXPECT_EQ(f.getEngineConfigValue("Grüße – 東京", 0).str(), "Grüße – 東京");
  EXPECT_EQ(f.getEngineConfigValue(_bstr_t(), 0).str(), "") << "nil travels and comes back empty";
  f.supercede("<x/>", 45658.75);
  f.addAuditEntry(1, 2, "audit");
  TraceCapture cap;
  try {
    f.getHostByID(404);
    FAIL() << "expected the server's fault";
  } catch (const char* text) {
    EXPECT_STREQ(text, "No host with id 404");
  }
  EXPECT_TRUE(cap.contains(1, "QELHLN", "getHostByID", "exception = No host with id 404"));
  f.logout();
  EXPECT_FALSE(f.IsLoggedIn());

  // Every controller request carried its own handle, login manager ones none.
  for (const auto& c : server.server().calls()) {
    if (c.service == "LoginManagerEJBService") {
      EXPECT_EQ(c.sessionHandle, std::nullopt) << c.op;
    } else {
      ASSERT_TRUE(c.sessionHandle) << c.service << " " << c.op;
      std::string controller = c.service.substr(0, c.service.size() - 10);
      EXPECT_EQ(*c.sessionHandle, controller == "ClientController" ? MiniRecordsServer::kClientKey
                                                                  : "H-" + controller)
          << c.op;
    }
  }
  EXPECT_EQ(server.server().calls().back().op, "logout");
}

TEST_F(FacadeWire, RefusedLoginLeavesTheFacadeInitialised) {
  HLNinterfaces f{CString(server.url())};
  try {
    f.integrationLogin("", "pw", "db", "", "en");
    FAIL();
  } catch (const char* text) {
    EXPECT_STREQ(text, "User name missing");
  }
  EXPECT_TRUE(f.IsInitialized());
  EXPECT_FALSE(f.IsLoggedIn());
}

TEST_F(FacadeWire, UnreachableServerLeavesTheFacadeUninitialised) {
  std::string url;
  {
    MiniRecordsServer gone;
    url = gone.url();
  }
  TraceCapture cap;
  HLNinterfaces f{CString(url)};
  EXPECT_FALSE(f.IsInitialized());
  EXPECT_TRUE(cap.contains(1, "QELHLN", "HLNinterfaces",
                           "exception = Unable to initialize SOAPClient object"))
      << cap.dump();
}

}  // namespace
