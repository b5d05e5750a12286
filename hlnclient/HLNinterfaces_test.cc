// The facade's state machine, traces and forwarding, through a fake SOAP client.
#include "HLNinterfaces.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "TaVNtraceCapture.h"
#include "testing/fake_soap_client.h"

namespace {

using hln_testing::FakeSoap;
using hln_testing::RecordedCall;
using hln_testing::Reply;
using ::testing::ElementsAre;

const char kBase[] = "http://rs:9/wsdl/com/halvor/gre/engine/ejb/facade/";

template <class F>
std::string thrown(F&& f) {
  try {
    f();
  } catch (const char* text) {
    return text;
  }
  return "";
}

class FacadeTest : public ::testing::Test {
 protected:
  FacadeTest() {
    // Handles are named after the operation that returned them.
    fake.respond = [](const RecordedCall& c) {
      Reply r;
      r.text = c.op.find("AsString") != std::string::npos ? "h:" + c.op : "";
      if (c.op == "integrationLogin" || c.op == "integrationHostLogin" ||
          c.op == "integrationHostLoginByName")
        r.text = "KEY1";
      return r;
    };
  }

  void login(HLNinterfaces& f) {
    f.initialize(CString("http://rs:9"));
    f.integrationLogin("u", "p", "db", "g", "en");
  }

  FakeSoap fake;
  TraceCapture cap;
};

TEST_F(FacadeTest, InitializeUrlTable) {
  struct Case { const char* url; const char* wsdl; } cases[] = {
      {"", "http://localhost:18080/wsdl/com/halvor/gre/engine/ejb/facade/LoginManagerEJBService.wsdl"},
      {"http://rs:9", "http://rs:9/wsdl/com/halvor/gre/engine/ejb/facade/LoginManagerEJBService.wsdl"},
      {"http://rs:9/", "http://rs:9/wsdl/com/halvor/gre/engine/ejb/facade/LoginManagerEJBService.wsdl"},
      {"https://rs/base/", "https://rs/base/wsdl/com/halvor/gre/engine/ejb/facade/LoginManagerEJBService.wsdl"},
  };
  for (const auto& c : cases) {
    cap.clear();
    HLNinterfaces f;
    EXPECT_FALSE(f.IsInitialized());
    f.initialize(CString(c.url));
    EXPECT_TRUE(f.IsInitialized());
    EXPECT_FALSE(f.IsLoggedIn());
    EXPECT_EQ(fake.clients.back().wsdl, c.wsdl);
    EXPECT_THAT(cap.lines("QELHLN"),
                ElementsAre(TraceLine{2, "QELHLN", "initialize", std::string("wsdl = ") + c.wsdl}));
  }
}

TEST_F(FacadeTest, StateChecksThrowTheirTextAndTraceOnce) {
  struct Case {
    const char* member;
    std::function<void(HLNinterfaces&)> call;
    const char* uninitialised;
    const char* initialised;
    const char* loggedIn;
  } cases[] = {
      {"getDataSourceList", [](HLNinterfaces& f) { f.getDataSourceList(); },
       "HLNinterfaces has not been initialized", "", ""},
      {"getHostList", [](HLNinterfaces& f) { f.getHostList(); },
       "HLNinterfaces has not been logged in", "HLNinterfaces has not been logged in", ""},
      {"integrationLogin", [](HLNinterfaces& f) { f.integrationLogin("a", "b", "c", "d", "e"); },
       "HLNinterfaces has not been initialized", "", "HLNinterfaces has been logged in already"},
      {"integrationHostLogin", [](HLNinterfaces& f) { f.integrationHostLogin("a", 1, "c", "d", "e", "f"); },
       "HLNinterfaces has not been initialized", "", "HLNinterfaces has been logged in already"},
      {"loginWithClientKey", [](HLNinterfaces& f) { f.loginWithClientKey(CString("K")); },
       "HLNinterfaces has not been initialized", "", "HLNinterfaces has been logged in already"},
      {"addFilePlanComponent", [](HLNinterfaces& f) { f.addFilePlanComponent(1, "x", 2); },
       "HLNinterfaces has not been logged in", "HLNinterfaces has not been logged in", ""},
  };
  for (const auto& c : cases) {
    for (int state = 0; state < 3; ++state) {
      HLNinterfaces f;
      if (state >= 1) f.initialize(CString("http://rs:9"));
      if (state == 2) f.integrationLogin("u", "p", "db", "g", "en");
      const char* expect = state == 0 ? c.uninitialised : state == 1 ? c.initialised : c.loggedIn;
      if (!*expect) continue;
      cap.clear();
      size_t callsBefore = fake.calls.size();
      EXPECT_EQ(thrown([&] { c.call(f); }), expect) << c.member << " in state " << state;
      EXPECT_THAT(cap.lines("QELHLN"), ElementsAre(TraceLine{1, "QELHLN", c.member,
                                                             std::string("exception = ") + expect}))
          << c.member << " in state " << state;
      EXPECT_EQ(fake.calls.size(), callsBefore) << "nothing sent";
    }
  }
}

TEST_F(FacadeTest, LogoutWhileNotLoggedInThrowsWithoutTrace) {
  HLNinterfaces f;
  EXPECT_EQ(thrown([&] { f.logout(); }), "HLNinterfaces has not been logged in");
  f.initialize(CString("http://rs:9"));
  cap.clear();
  EXPECT_EQ(thrown([&] { f.logout(); }), "HLNinterfaces has not been logged in");
  EXPECT_EQ(cap.size(), 0u) << cap.dump();
}

TEST_F(FacadeTest, LoginBuildsEveryControllerWithItsHandle) {
  HLNinterfaces f;
  f.initialize(CString("http://rs:9"));
  EXPECT_EQ(f.integrationLogin("u", "p", "db", "g", "en").str(), "KEY1");
  EXPECT_TRUE(f.IsLoggedIn());
  EXPECT_THAT(fake.ops(),
              ElementsAre("integrationLogin", "getComponentDesignControllerAsString",
                          "getConfigurationControllerAsString", "getDefinitionControllerAsString",
                          "getFilePlanComponentControllerAsString",
                          "getFilePlanDesignControllerAsString",
                          "getLifeCycleDesignControllerAsString", "getToolsControllerAsString",
                          "getUserControllerAsString"));
  ASSERT_EQ(fake.clients.size(), 10u);
  std::vector<std::pair<std::string, std::string>> built;
  for (size_t i = 1; i < fake.clients.size(); ++i)
    built.emplace_back(fake.clients[i].wsdl.substr(sizeof kBase - 1), *fake.clients[i].headerText);
  EXPECT_THAT(built,
              ElementsAre(std::make_pair("ClientControllerEJBService.wsdl", "KEY1"),
                          std::make_pair("ComponentDesignControllerEJBService.wsdl",
                                         "h:getComponentDesignControllerAsString"),
                          std::make_pair("ConfigurationControllerEJBService.wsdl",
                                         "h:getConfigurationControllerAsString"),
                          std::make_pair("DefinitionControllerEJBService.wsdl",
                                         "h:getDefinitionControllerAsString"),
                          std::make_pair("FilePlanComponentControllerEJBService.wsdl",
                                         "h:getFilePlanComponentControllerAsString"),
                          std::make_pair("FilePlanDesignControllerEJBService.wsdl",
                                         "h:getFilePlanDesignControllerAsString"),
                          std::make_pair("LifeCycleDesignControllerEJBService.wsdl",
                                         "h:getLifeCycleDesignControllerAsString"),
                          std::make_pair("ToolsControllerEJBService.wsdl",
                                         "h:getToolsControllerAsString"),
                          std::make_pair("UserControllerEJBService.wsdl",
                                         "h:getUserControllerAsString")));
}

TEST_F(FacadeTest, FailedLoginIsTracedTwiceAndCanBeRetried) {
  HLNinterfaces f;
  f.initialize(CString("http://rs:9"));
  Reply r;
  r.hr = DISP_E_EXCEPTION;
  r.description = "<Description>bad handle</Description>";
  fake.replies["getToolsControllerAsString"] = r;
  cap.clear();
  EXPECT_EQ(thrown([&] { f.integrationLogin("u", "p", "db", "g", "en"); }), "bad handle");
  EXPECT_FALSE(f.IsLoggedIn());
  EXPECT_THAT(cap.lines("QELHLN"),
              ElementsAre(TraceLine{1, "QELHLN", "loginWithClientKey", "exception = bad handle"},
                          TraceLine{1, "QELHLN", "integrationLogin", "exception = bad handle"}));
  fake.replies.clear();
  EXPECT_EQ(f.integrationLogin("u", "p", "db", "g", "en").str(), "KEY1");
  EXPECT_TRUE(f.IsLoggedIn());
}

TEST_F(FacadeTest, LogoutThenLoginBuildsNewProxiesFromTheNewKey) {
  HLNinterfaces f;
  login(f);
  EXPECT_EQ(fake.liveClients(), 10);
  f.logout();
  EXPECT_FALSE(f.IsLoggedIn());
  EXPECT_TRUE(f.IsInitialized());
  EXPECT_EQ(fake.ops().back(), "logout");
  EXPECT_EQ(fake.liveClients(), 1) << "only the login manager remains";
  fake.respond = [](const RecordedCall& c) {
    Reply r;
    r.text = c.op == "integrationHostLogin" ? "KEY2" : "h2";
    return r;
  };
  EXPECT_EQ(f.integrationHostLogin("uk", 5, "pw", "db", "g", "en").str(), "KEY2");
  EXPECT_EQ(fake.clients[10].headerText, std::optional<std::string>("KEY2"));
  EXPECT_EQ(fake.liveClients(), 10);
  cap.clear();
  fake.calls.clear();
  f.getHostList();
  EXPECT_EQ(fake.calls.at(0).client, 13) << "the new configuration controller";
}

TEST_F(FacadeTest, FailedLogoutKeepsTheSessionAndIsNotTraced) {
  HLNinterfaces f;
  login(f);
  Reply r;
  r.hr = DISP_E_EXCEPTION;
  r.description = "down";
  fake.replies["logout"] = r;
  cap.clear();
  EXPECT_EQ(thrown([&] { f.logout(); }), "down");
  EXPECT_TRUE(f.IsLoggedIn());
  EXPECT_EQ(cap.size(), 0u);
  EXPECT_EQ(fake.liveClients(), 10);
}

TEST_F(FacadeTest, DestroyingALoggedInFacadeSendsNothingAndReleasesAll) {
  {
    HLNinterfaces f;
    login(f);
    fake.calls.clear();
  }
  EXPECT_TRUE(fake.calls.empty());
  EXPECT_EQ(fake.liveClients(), 0);
}

TEST_F(FacadeTest, CopiesShareProxiesAndReleaseThemOnce) {
  auto source = std::make_unique<HLNinterfaces>();
  login(*source);
  HLNinterfaces copy(*source);
  HLNinterfaces assigned;
  assigned = *source;
  source.reset();
  EXPECT_EQ(fake.liveClients(), 10) << "copies keep the proxies alive";
  EXPECT_TRUE(copy.IsLoggedIn());
  fake.replies["getHostList"] = Reply{S_OK, std::nullopt, Reply::kString, "hosts", 0, false};
  EXPECT_EQ(copy.getHostList().str(), "hosts");
  EXPECT_EQ(assigned.getHostList().str(), "hosts");
  copy.logout();
  EXPECT_TRUE(assigned.IsLoggedIn()) << "the other copy keeps its own state";
  EXPECT_EQ(fake.liveClients(), 10);
}

TEST_F(FacadeTest, UrlConstructorSwallowsAndTracesFailure) {
  fake.initHr = E_FAIL;
  HLNinterfaces f(CString("http://rs:9"));
  EXPECT_FALSE(f.IsInitialized());
  EXPECT_THAT(cap.lines("QELHLN"),
              ElementsAre(TraceLine{2, "QELHLN", "initialize", std::string("wsdl = ") + kBase +
                                                                   "LoginManagerEJBService.wsdl"},
                          TraceLine{1, "QELHLN", "initialize", "exception = Unable to initialize SOAPClient object"},
                          TraceLine{1, "QELHLN", "HLNinterfaces", "exception = Unable to initialize SOAPClient object"}));
  fake.initHr = S_OK;
  HLNinterfaces ok(CString("http://rs:9"));
  EXPECT_TRUE(ok.IsInitialized());
}

TEST_F(FacadeTest, FailedReinitializeKeepsTheOldLoginManager) {
  HLNinterfaces f;
  f.initialize(CString("http://rs:9"));
  fake.createHr = E_FAIL;
  EXPECT_EQ(thrown([&] { f.initialize(CString("http://other:1")); }), "Unable to create SOAPClient object");
  EXPECT_TRUE(f.IsInitialized());
  fake.createHr = S_OK;
  fake.calls.clear();
  f.getEngineVersion();
  EXPECT_EQ(fake.calls.at(0).client, 1);
}

TEST_F(FacadeTest, AddFilePlanComponentTracesItsArguments) {
  HLNinterfaces f;
  login(f);
  fake.replies["addFilePlanComponent"] = Reply{S_OK, std::nullopt, Reply::kLong, "", 4711, false};
  cap.clear();
  EXPECT_EQ(f.addFilePlanComponent(12, "<fp a=\"1\"/>", 34), 4711);
  EXPECT_THAT(cap.lines("QELHLN"),
              ElementsAre(TraceLine{2, "QELHLN", "addFilePlanComponent", "definitionId = 12"},
                          TraceLine{2, "QELHLN", "addFilePlanComponent", "filePlanXml = <fp a=\"1\"/>"},
                          TraceLine{2, "QELHLN", "addFilePlanComponent", "parentFilePlanCompID = 34"}));
}

TEST_F(FacadeTest, ServerFaultIsTracedUnderTheMemberAndThrownOn) {
  HLNinterfaces f;
  login(f);
  fake.replies["getHostByID"] = Reply{DISP_E_EXCEPTION, std::string("x<Description>No host 3</Description>"),
                                      Reply::kString, "", 0, false};
  cap.clear();
  EXPECT_EQ(thrown([&] { f.getHostByID(3); }), "No host 3");
  EXPECT_THAT(cap.lines("QELHLN"), ElementsAre(TraceLine{1, "QELHLN", "getHostByID", "exception = No host 3"}));
}

// Every server operation: its SOAP operation, controller and wire types.
TEST_F(FacadeTest, ForwardingTable) {
  HLNinterfaces f;
  login(f);
  _bstr_t s("s"), t("t");
  _bstr_t none;  // holds no string
  struct Case {
    std::function<void(HLNinterfaces&)> call;
    const char* op;
    std::string wsdl;
    std::vector<VARTYPE> vts;
  } cases[] = {
      {[&](HLNinterfaces& x) { x.getDataSourceList(); }, "getDataSourceList", "LoginManager", {}},
      {[&](HLNinterfaces& x) { x.getEngineVersion(); }, "getEngineVersion", "LoginManager", {}},
      {[&](HLNinterfaces& x) { x.getHostList(); }, "getHostList", "ConfigurationController", {}},
      {[&](HLNinterfaces& x) { x.getHostByID(1); }, "getHostByID", "ConfigurationController", {VT_I4}},
      {[&](HLNinterfaces& x) { x.getEngineConfigValueList(); }, "getEngineConfigValueList", "ConfigurationController", {}},
      {[&](HLNinterfaces& x) { x.getEngineConfigValue(s, 0); }, "getEngineConfigValue", "ConfigurationController", {VT_BSTR, VT_INT}},
      {[&](HLNinterfaces& x) { x.setEngineConfigValue(s, 0, t); }, "setEngineConfigValue", "ConfigurationController", {VT_BSTR, VT_INT, VT_BSTR}},
      {[&](HLNinterfaces& x) { x.deleteEngineConfigValue(s, 0); }, "deleteEngineConfigValue", "ConfigurationController", {VT_BSTR, VT_INT}},
      {[&](HLNinterfaces& x) { x.getUserConfigValue(1, s); }, "getUserConfigValue", "ConfigurationController", {VT_I4, VT_BSTR}},
      {[&](HLNinterfaces& x) { x.getNextBarCode(); }, "getNextBarCode", "ConfigurationController", {}},
      {[&](HLNinterfaces& x) { x.addFilePlanComponent(1, s, 2); }, "addFilePlanComponent", "FilePlanComponentController", {VT_I4, VT_BSTR, VT_I4}},
      {[&](HLNinterfaces& x) { x.deleteFilePlanComponent(1, 2); }, "deleteFilePlanComponent", "FilePlanComponentController", {VT_I4, VT_INT}},
      {[&](HLNinterfaces& x) { x.addTarget(1, s); }, "addTarget", "FilePlanComponentController", {VT_I4, VT_BSTR}},
      {[&](HLNinterfaces& x) { x.getTargetList(1, 2, 3, 4); }, "getTargetList", "FilePlanComponentController", {VT_I4, VT_I4, VT_INT, VT_INT}},
      {[&](HLNinterfaces& x) { x.getSourceList(1, 2, 3, 4); }, "getSourceList", "FilePlanComponentController", {VT_I4, VT_I4, VT_INT, VT_INT}},
      {[&](HLNinterfaces& x) { x.getFilePlanComponentField(1, s, true); }, "getFilePlanComponentField", "FilePlanComponentController", {VT_I4, VT_BSTR, VT_BOOL}},
      {[&](HLNinterfaces& x) { x.getPermissionList(1, 2, 3); }, "getPermissionList", "FilePlanComponentController", {VT_I4, VT_I4, VT_I4}},
      {[&](HLNinterfaces& x) { x.supercede(s, 45000.5); }, "supercede", "FilePlanComponentController", {VT_BSTR, VT_DATE}},
      {[&](HLNinterfaces& x) { x.getFilePlanComponentPrimaryViewId(1); }, "getFilePlanComponentPrimaryViewId", "FilePlanComponentController", {VT_I4}},
      {[&](HLNinterfaces& x) { x.getEffectiveUserPermissionsList(1); }, "getEffectiveUserPermissionsList", "FilePlanComponentController", {VT_I4}},
      {[&](HLNinterfaces& x) { x.getFullPathById(1, 2); }, "getFullPathById", "FilePlanComponentController", {VT_I4, VT_I4}},
      {[&](HLNinterfaces& x) { x.getFilePlanComponentById(1); }, "getFilePlanComponentById", "FilePlanComponentController", {VT_I4}},
      {[&](HLNinterfaces& x) { x.getFilePlanComponentStructure(1); }, "getFilePlanComponentStructure", "FilePlanComponentController", {VT_I4}},
      {[&](HLNinterfaces& x) { x.getAutoClassifyString(s, t); }, "getAutoClassifyString", "FilePlanComponentController", {VT_BSTR, VT_BSTR}},
      {[&](HLNinterfaces& x) { x.getFilePlanComponentsWithChangedPermissions(1, 2, 3); }, "getFilePlanComponentsWithChangedPermissions", "FilePlanComponentController", {VT_I4, VT_INT, VT_INT}},
      {[&](HLNinterfaces& x) { x.getRelationshipDefinitionList(); }, "getRelationshipDefinitionList", "FilePlanDesignController", {}},
      {[&](HLNinterfaces& x) { x.getRelationshipDefinitionListByFPViewID(1); }, "getRelationshipDefinitionListByFPViewID", "FilePlanDesignController", {VT_I4}},
      {[&](HLNinterfaces& x) { x.getFilePlanViewList(false); }, "getFilePlanViewList", "FilePlanDesignController", {VT_BOOL}},
      {[&](HLNinterfaces& x) { x.getFilePlanViewByID(1); }, "getFilePlanViewByID", "FilePlanDesignController", {VT_I4}},
      {[&](HLNinterfaces& x) { x.addAuditEntry(1, 2, s); }, "addAuditEntry", "ToolsController", {VT_I4, VT_I4, VT_BSTR}},
      {[&](HLNinterfaces& x) { x.getUserActionMask(); }, "getUserActionMask", "UserController", {}},
      {[&](HLNinterfaces& x) { x.getuserid(); }, "getuserid", "UserController", {}},
      {[&](HLNinterfaces& x) { x.getDisposalAuthorityList(); }, "getDisposalAuthorityList", "LifeCycleDesignController", {}},
      {[&](HLNinterfaces& x) { x.getLifeCycleManagementCodeList(1, 2); }, "getLifeCycleManagementCodeList", "LifeCycleDesignController", {VT_INT, VT_INT}},
      {[&](HLNinterfaces& x) { x.getLifeCyclePhaseDefinitionList(1, 2); }, "getLifeCyclePhaseDefinitionList", "LifeCycleDesignController", {VT_INT, VT_INT}},
      {[&](HLNinterfaces& x) { x.getPickListEntryListForUser(1, 2); }, "getPickListEntryListForUser", "ComponentDesignController", {VT_I4, VT_I4}},
      {[&](HLNinterfaces& x) { x.getPickListEntryList(1, 2, 3); }, "getPickListEntryList", "ComponentDesignController", {VT_I4, VT_INT, VT_INT}},
      {[&](HLNinterfaces& x) { x.getProfileListForUserGroup(1, 2); }, "getProfileListForUserGroup", "ComponentDesignController", {VT_I4, VT_I4}},
      {[&](HLNinterfaces& x) { x.getDefaultListForUserGroup(1, 2); }, "getDefaultListForUserGroup", "ComponentDesignController", {VT_I4, VT_I4}},
      {[&](HLNinterfaces& x) { x.getDefaultImageById(1); }, "getDefaultImageById", "ComponentDesignController", {VT_I4}},
      {[&](HLNinterfaces& x) { x.getProfileImageById(1); }, "getProfileImageById", "ComponentDesignController", {VT_I4}},
      {[&](HLNinterfaces& x) { x.getComponentDefinitionList(); }, "getComponentDefinitionList", "DefinitionController", {}},
      {[&](HLNinterfaces& x) { x.getComponentDefinitionById(1); }, "getComponentDefinitionById", "DefinitionController", {VT_I4}},
  };
  for (const auto& c : cases) {
    fake.calls.clear();
    c.call(f);
    ASSERT_EQ(fake.calls.size(), 1u) << c.op;
    const RecordedCall& call = fake.calls[0];
    EXPECT_EQ(call.op, c.op);
    EXPECT_EQ(fake.clients[call.client - 1].wsdl, kBase + c.wsdl + "EJBService.wsdl") << c.op;
    std::vector<VARTYPE> vts;
    for (const auto& a : call.args) vts.push_back(a.vt);
    EXPECT_EQ(vts, c.vts) << c.op;
  }
}

TEST_F(FacadeTest, ArgumentValuesAndOrder) {
  HLNinterfaces f;
  login(f);
  _bstr_t key("NXDocumentID");
  _bstr_t none;
  fake.calls.clear();
  f.getEngineConfigValue(key, 0);
  f.setEngineConfigValue(none, -7, "v");
  f.getFilePlanComponentField(99, "field", true);
  f.getFilePlanViewList(false);
  f.supercede("<x/>", 45658.75);
  f.getTargetList(-1, 2147483647L, -2147483647 - 1, 4);
  ASSERT_EQ(fake.calls.size(), 6u);
  const auto& a0 = fake.calls[0].args;
  EXPECT_EQ(a0[0].bstr, static_cast<BSTR>(key)) << "the caller's BSTR is borrowed, not copied";
  EXPECT_EQ(a0[0].text, std::optional<std::string>("NXDocumentID"));
  EXPECT_EQ(a0[1].integer, 0);
  const auto& a1 = fake.calls[1].args;
  EXPECT_EQ(a1[0].vt, VT_BSTR);
  EXPECT_EQ(a1[0].bstr, nullptr) << "a _bstr_t without string travels as a null BSTR";
  EXPECT_EQ(a1[1].integer, -7);
  EXPECT_EQ(a1[2].text, std::optional<std::string>("v"));
  EXPECT_EQ(fake.calls[2].args[0].integer, 99);
  EXPECT_EQ(fake.calls[2].args[2].integer, VARIANT_TRUE) << "true is -1";
  EXPECT_EQ(fake.calls[3].args[0].integer, VARIANT_FALSE);
  EXPECT_EQ(fake.calls[4].args[1].real, 45658.75);
  const auto& a5 = fake.calls[5].args;
  EXPECT_EQ(a5[0].integer, -1);
  EXPECT_EQ(a5[1].integer, 2147483647);
  EXPECT_EQ(a5[2].integer, -2147483647LL - 1);
  EXPECT_EQ(a5[3].integer, 4);
  EXPECT_FALSE(fake.calls[4].resultWanted) << "supercede has no result";
  EXPECT_TRUE(fake.calls[0].resultWanted);
}

TEST_F(FacadeTest, DataSourceListWorksBeforeLogin) {
  HLNinterfaces f;
  f.initialize(CString(""));
  fake.replies["getDataSourceList"] = Reply{S_OK, std::nullopt, Reply::kString, "<List/>", 0, false};
  EXPECT_EQ(f.getDataSourceList().str(), "<List/>");
}

}  // namespace
