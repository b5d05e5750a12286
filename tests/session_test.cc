// Records-server session and definitions against the real records server
// and an embedded content-management server.
#include <sqlite3.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "HLNinterfaces.h"
#include "QELResource.h"
#include "QELUtilities.h"
#include "TaVNtraceCapture.h"
#include "qel_system_test.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kModule = "QELUtilities";
const std::string kQ = "::@%@::";

TraceLine Line(int level, const char* function, const std::string& text) {
  return TraceLine{level, kModule, function, text};
}

std::string groupList(const std::vector<std::string>& groups) {
  std::string list = "<List>";
  for (const auto& g : groups) list += "<Item XtGrpID=\"" + std::string("QELLIB") + kQ + g + "\"/>";
  return list + "</List>";
}

// Logs the session off at scope exit unless the test did.
struct LogoffGuard {
  QELsession& session;
  ~LogoffGuard() {
    if (session.m_pHLN != nullptr) TaVNlogoff(session);
  }
};

class SessionE2e : public QelSystemTest {
 protected:
  // The records server's id of the account `name`, read from its store;
  // -1 when it has none.
  static int64_t accountIdOnServer(const std::string& name) {
    sqlite3* db = nullptr;
    int64_t id = -1;
    if (sqlite3_open_v2(sys().recordsDbPath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
      sqlite3_busy_timeout(db, 5000);
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, "SELECT id FROM account WHERE name=?", -1, &st, nullptr) ==
          SQLITE_OK) {
        sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) id = sqlite3_column_int64(st, 0);
      }
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return id;
  }
};

// ---------------------------------------------------------------------------
// Logons

struct UserCase {
  const char* user;
  const char* password;
  std::vector<std::string> groups;  // as sent, "DVXPUBLC" first
  long mask;                        // what the server makes of those groups
};

TEST_F(SessionE2e, LogonSendsUserKeyAndQualifiedGroupsToTheServer) {
  const UserCase cases[] = {
      {"alice", QelTestSystem::kAlicePw, {"DVXPUBLC", "Finance", "Legal"}, 0x5B},
      {"bob", QelTestSystem::kBobPw, {"DVXPUBLC"}, 0x5B},
      {"carol", QelTestSystem::kCarolPw, {"DVXPUBLC", "RECMGR"}, 0xFF},
  };
  for (const UserCase& c : cases) {
    SCOPED_TRACE(c.user);
    auto ds = sys().connect(c.user, c.password);
    QELsession session;
    LogoffGuard guard{session};
    TraceCapture cap;
    ASSERT_EQ(0, TaVNlogon(ds.get(), session)) << cap.dump();
    ASSERT_NE(nullptr, session.m_pHLN);
    EXPECT_TRUE(session.m_pHLN->IsLoggedIn());

    const std::string userKey = std::string("QELLIB") + kQ + c.user;
    EXPECT_THAT(cap.lines(kModule, "TaVNlogon"),
                ElementsAre(Line(3, "TaVNlogon", "Begins"),
                            Line(2, "TaVNlogon", "Logging in HLN with user:  " + userKey),
                            Line(2, "TaVNlogon", "Logging in HLN with group: " + groupList(c.groups)),
                            Line(3, "TaVNlogon", "Ends")));

    // The server holds the session under an account named by the user key,
    // and its rights come from the groups that arrived.
    const int64_t accountId = accountIdOnServer(userKey);
    ASSERT_GT(accountId, 0);
    EXPECT_EQ(accountId, session.m_pHLN->getuserid());
    EXPECT_EQ(c.mask, session.m_pHLN->getUserActionMask());
  }
}

// Regression: names were pasted into the group list as they stand, so a
// quote or an ampersand in LibSer made it malformed and the login failed.
TEST_F(SessionE2e, LibSerWithXmlMetacharactersStillLogsOn) {
  const std::string libSer = "Q&A \"<LIB>\"";
  TaVNcfgInfo_t info = sys().config();
  info.LibSer = libSer.c_str();
  sys().storeConfig(info);

  auto ds = sys().connect("bob", QelTestSystem::kBobPw);
  QELsession session;
  LogoffGuard guard{session};
  TraceCapture cap;
  ASSERT_EQ(0, TaVNlogon(ds.get(), session)) << cap.dump();
  const std::string userKey = libSer + kQ + "bob";
  EXPECT_THAT(
      cap.lines(kModule, "TaVNlogon"),
      ElementsAre(Line(3, "TaVNlogon", "Begins"),
                  Line(2, "TaVNlogon", "Logging in HLN with user:  " + userKey),
                  Line(2, "TaVNlogon",
                       "Logging in HLN with group: <List><Item XtGrpID=\"Q&amp;A "
                       "&quot;&lt;LIB&gt;&quot;::@%@::DVXPUBLC\"/></List>"),
                  Line(3, "TaVNlogon", "Ends")));
  EXPECT_EQ(accountIdOnServer(userKey), session.m_pHLN->getuserid());
  EXPECT_EQ(0x5B, session.m_pHLN->getUserActionMask());
}

TEST_F(SessionE2e, LogonAgainKeepsTheSameServerAccount) {
  auto ds = sys().connect("bob", QelTestSystem::kBobPw);
  long ids[2] = {0, 0};
  for (long& id : ids) {
    QELsession session;
    ASSERT_EQ(0, TaVNlogon(ds.get(), session));
    id = session.m_pHLN->getuserid();
    EXPECT_EQ(0, TaVNlogoff(session));
  }
  EXPECT_EQ(ids[0], ids[1]);
}

TEST_F(SessionE2e, AdminLogonIsTheServersAdministrator) {
  auto ds = sys().connect("bob", QelTestSystem::kBobPw);
  QELsession session;
  LogoffGuard guard{session};
  TraceCapture cap;
  ASSERT_EQ(0, TaVNAdminLogon(ds.get(), session)) << cap.dump();
  ASSERT_NE(nullptr, session.m_pHLN);
  EXPECT_EQ(accountIdOnServer("administrator"), session.m_pHLN->getuserid());
  EXPECT_EQ(0xFF, session.m_pHLN->getUserActionMask());
  // No "Begins"/"Ends" on this path.
  EXPECT_THAT(cap.lines(kModule, "TaVNAdminLogon"), IsEmpty());
}

TEST_F(SessionE2e, LogoffEndsTheSessionOnTheServer) {
  auto ds = sys().connect("alice", QelTestSystem::kAlicePw);
  QELsession session;
  ASSERT_EQ(0, TaVNlogon(ds.get(), session));
  // A copy shares the controller handles; it shows whether the server still
  // knows them after the logoff.
  HLNinterfaces probe(*session.m_pHLN);
  EXPECT_GT(probe.getuserid(), 0);

  TraceCapture cap;
  EXPECT_EQ(0, TaVNlogoff(session));
  EXPECT_EQ(nullptr, session.m_pHLN);
  EXPECT_THAT(cap.lines(kModule, "TaVNlogoff"),
              ElementsAre(Line(3, "TaVNlogoff", "Begins"), Line(3, "TaVNlogoff", "Ends")));
  EXPECT_THROW(probe.getuserid(), const char*);
}

TEST_F(SessionE2e, LogoffThatTheServerRejectsStillClearsTheSession) {
  auto ds = sys().connect("bob", QelTestSystem::kBobPw);
  QELsession session;
  ASSERT_EQ(0, TaVNlogon(ds.get(), session));
  {
    // Someone else ends the server session first.
    HLNinterfaces other(*session.m_pHLN);
    other.logout();
  }
  TraceCapture cap;
  EXPECT_EQ(0, TaVNlogoff(session));
  EXPECT_EQ(nullptr, session.m_pHLN);
  EXPECT_THAT(cap.lines(kModule, "TaVNlogoff"),
              ElementsAre(Line(3, "TaVNlogoff", "Begins"), Line(1, "TaVNlogoff", "Failed to logoff HLN"),
                          Line(3, "TaVNlogoff", "Ends")));
}

// ---------------------------------------------------------------------------
// Failures of the logons

struct FailureCase {
  const char* name;
  std::function<void(TaVNcfgInfo_t&)> change;  // applied to the stored record
  bool removeRecord;                           // no configuration record at all
  bool admin;                                  // TaVNAdminLogon instead of TaVNlogon
  int result;
  std::vector<TraceLine> lines;  // of module QELUtilities, the logon's function
};

TEST_F(SessionE2e, LogonFailureTable) {
  const std::string bobKey = std::string("QELLIB") + kQ + "bob";
  const std::string userLine = "Logging in HLN with user:  " + bobKey;
  const std::string pubGroups = "Logging in HLN with group: " + groupList({"DVXPUBLC"});
  const std::string qelAdminRefused =
      std::string("Unable to logon as qeladmin: ") + QELLoadString(2005).GetString();
  const std::string unreachable = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/";

  const FailureCase cases[] = {
      {"wrong HostPW", [](TaVNcfgInfo_t& i) { i.HostPW = "not-the-host-pw"; }, false, false, -1,
       {Line(3, "TaVNlogon", "Begins"), Line(2, "TaVNlogon", userLine),
        Line(2, "TaVNlogon", pubGroups), Line(1, "TaVNlogon", "Failed to login HLN")}},
      {"unknown HostID", [](TaVNcfgInfo_t& i) { i.HostID = 99; }, false, false, -1,
       {Line(3, "TaVNlogon", "Begins"), Line(2, "TaVNlogon", userLine),
        Line(2, "TaVNlogon", pubGroups), Line(1, "TaVNlogon", "Failed to login HLN")}},
      {"unknown ZulDB", [](TaVNcfgInfo_t& i) { i.ZulDB = "NoSuchDS"; }, false, false, -1,
       {Line(3, "TaVNlogon", "Begins"), Line(2, "TaVNlogon", userLine),
        Line(2, "TaVNlogon", pubGroups), Line(1, "TaVNlogon", "Failed to login HLN")}},
      {"unreachable ZulSURL", [&](TaVNcfgInfo_t& i) { i.ZulSURL = unreachable.c_str(); }, false,
       false, -1,
       {Line(3, "TaVNlogon", "Begins"), Line(2, "TaVNlogon", userLine),
        Line(2, "TaVNlogon", pubGroups), Line(1, "TaVNlogon", "Failed to initialize HLNinterfaces")}},
      {"wrong QELPwd goes on without groups", [](TaVNcfgInfo_t& i) { i.QELPwd = "wrong"; }, false,
       false, 0,
       {Line(3, "TaVNlogon", "Begins"), Line(1, "TaVNlogon", qelAdminRefused),
        Line(2, "TaVNlogon", userLine),
        Line(2, "TaVNlogon", "Logging in HLN with group: <List></List>"),
        Line(3, "TaVNlogon", "Ends")}},
      {"no configuration record", nullptr, true, false, -1,
       {Line(3, "TaVNlogon", "Begins"), Line(1, "TaVNlogon", "Failed at GetTaVNcfgInfo")}},
      {"admin: wrong ZulPwd", [](TaVNcfgInfo_t& i) { i.ZulPwd = "not-the-admin-pw"; }, false, true,
       -1, {Line(1, "TaVNAdminLogon", "Failed to login HLN")}},
      {"admin: unreachable ZulSURL", [&](TaVNcfgInfo_t& i) { i.ZulSURL = unreachable.c_str(); },
       false, true, -1, {Line(1, "TaVNAdminLogon", "Failed to initialize HLNinterfaces")}},
      {"admin: no configuration record", nullptr, true, true, -1,
       {Line(1, "TaVNAdminLogon", "Failed at GetTaVNcfgInfo")}},
  };

  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.removeRecord) {
      auto admin = sys().contentServer().connectAdmin();
      ASSERT_EQ(0, CleanTaVNcfgInfo(admin.get()));
    } else {
      TaVNcfgInfo_t info = sys().config();
      c.change(info);
      sys().storeConfig(info);
    }

    auto ds = sys().connect("bob", QelTestSystem::kBobPw);
    // A logon clears what the session held without looking at it.
    HLNinterfaces stale;
    QELsession session;
    session.m_pHLN = &stale;
    LogoffGuard guard{session};
    const char* function = c.admin ? "TaVNAdminLogon" : "TaVNlogon";
    TraceCapture cap;
    const int rc = c.admin ? TaVNAdminLogon(ds.get(), session) : TaVNlogon(ds.get(), session);
    EXPECT_EQ(c.result, rc) << cap.dump();
    EXPECT_EQ(c.lines, cap.lines(kModule, function)) << cap.dump();
    if (c.result == 0) {
      ASSERT_NE(nullptr, session.m_pHLN);
      EXPECT_NE(&stale, session.m_pHLN);
      // No groups arrived, so the user has no rights on the server.
      EXPECT_EQ(0, session.m_pHLN->getUserActionMask());
    } else {
      EXPECT_EQ(nullptr, session.m_pHLN);
    }
    if (session.m_pHLN == &stale) session.m_pHLN = nullptr;  // not the guard's to log off
    sys().restoreConfig();
  }
}

// ---------------------------------------------------------------------------
// Definitions

constexpr const char* kKeys[] = {"NXDocumentID", "NXEmailID", "NXSprsdViewID", "NXVersionViewID",
                                 "NXCrsRefViewID"};

std::vector<int32_t> members(const TaVNcfgInfo2_t& i) {
  return {i.NXDocumentID, i.NXEmailID, i.NXSprsdViewID, i.NXVersionViewID, i.NXCrsRefViewID};
}

class DefinitionsE2e : public SessionE2e {
 protected:
  void SetUp() override {
    ds_ = sys().connect("alice", QelTestSystem::kAlicePw);
    ASSERT_EQ(0, TaVNlogon(ds_.get(), session_));
  }
  void TearDown() override {
    // Back to the seed's values for the next test.
    if (session_.m_pHLN != nullptr) {
      TaVNcfgInfo2_t seed{20, 21, 2, 3, 4};
      EXPECT_EQ(0, SetTaVNcfgInfo2(session_, seed));
      TaVNlogoff(session_);
    }
    QelSystemTest::TearDown();
  }

  // The value the server holds for `key`, or "(absent)".
  std::string serverValue(const char* key) {
    try {
      return session_.m_pHLN->getEngineConfigValue(_bstr_t(key), 0).str();
    } catch (const char*) {
      return "(absent)";
    }
  }

  std::unique_ptr<GxDatastoreDVX> ds_;
  QELsession session_;
};

TEST_F(DefinitionsE2e, ReadsTheSeedValues) {
  TaVNcfgInfo2_t info{-1, -1, -1, -1, -1};
  EXPECT_EQ(0, GetTaVNcfgInfo2(session_, info));
  EXPECT_EQ((std::vector<int32_t>{20, 21, 2, 3, 4}), members(info));
}

TEST_F(DefinitionsE2e, RoundTripThroughTheServer) {
  TaVNcfgInfo2_t written{-7, 2147483647, 30, 31, -2147483647 - 1};
  TraceCapture cap;
  ASSERT_EQ(0, SetTaVNcfgInfo2(session_, written));
  // Stored as decimal text, negative ones with their minus sign.
  EXPECT_EQ("-7", serverValue("NXDocumentID"));
  EXPECT_EQ("2147483647", serverValue("NXEmailID"));
  EXPECT_EQ("31", serverValue("NXVersionViewID"));
  EXPECT_EQ("-2147483648", serverValue("NXCrsRefViewID"));

  TaVNcfgInfo2_t read;
  ASSERT_EQ(0, GetTaVNcfgInfo2(session_, read));
  EXPECT_EQ(members(written), members(read));
  EXPECT_THAT(cap.lines(kModule), IsEmpty()) << cap.dump();
}

TEST_F(DefinitionsE2e, CleanRemovesAllFiveAndGetThenFails) {
  ASSERT_EQ(0, CleanTaVNcfgInfo2(session_));
  for (const char* key : kKeys) EXPECT_EQ("(absent)", serverValue(key)) << key;

  TraceCapture cap;
  TaVNcfgInfo2_t read{5, 5, 5, 5, 5};
  EXPECT_EQ(-1, GetTaVNcfgInfo2(session_, read));
  EXPECT_EQ((std::vector<int32_t>{0, 0, 0, 0, 0}), members(read));
  EXPECT_THAT(cap.lines(kModule, "GetTaVNcfgInfo2"),
              ElementsAre(Line(1, "GetTaVNcfgInfo2", "Failed to Get Value from HLN")));

  // Nothing left to delete is no failure.
  cap.clear();
  EXPECT_EQ(0, CleanTaVNcfgInfo2(session_));
  EXPECT_THAT(cap.lines(kModule), IsEmpty());
}

TEST_F(DefinitionsE2e, CleanDeletesExactlyThePresentKeys) {
  ASSERT_EQ(0, CleanTaVNcfgInfo2(session_));
  session_.m_pHLN->setEngineConfigValue(_bstr_t("NXDocumentID"), 0, _bstr_t("20"));
  session_.m_pHLN->setEngineConfigValue(_bstr_t("NXVersionViewID"), 0, _bstr_t("3"));
  // A value under another scope is not ours.
  session_.m_pHLN->setEngineConfigValue(_bstr_t("NXEmailID"), 7, _bstr_t("21"));

  TraceCapture cap;
  EXPECT_EQ(0, CleanTaVNcfgInfo2(session_));
  EXPECT_THAT(cap.lines(kModule), IsEmpty()) << cap.dump();
  for (const char* key : kKeys) EXPECT_EQ("(absent)", serverValue(key)) << key;
  EXPECT_EQ("21", std::string(session_.m_pHLN->getEngineConfigValue(_bstr_t("NXEmailID"), 7).str()));
  session_.m_pHLN->deleteEngineConfigValue(_bstr_t("NXEmailID"), 7);
}

TEST_F(DefinitionsE2e, GetReadsServerTextsLikeAtol) {
  struct Row {
    const char* text;
    int32_t value;
  };
  const Row rows[] = {
      {"12abc", 12},          // digits up to the first other character
      {"", 0},                // no digits
      {"abc", 0},             //
      {"  +42", 42},          // leading blanks and a sign
      {"\t-3x", -3},          //
      {"0012", 12},           //
      {"99999999999", INT32_MAX},   // beyond 32 bits: saturated, not undefined
      {"-99999999999", INT32_MIN},  //
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string("\"") + r.text + "\"");
    session_.m_pHLN->setEngineConfigValue(_bstr_t("NXEmailID"), 0, _bstr_t(r.text));
    TaVNcfgInfo2_t info;
    EXPECT_EQ(0, GetTaVNcfgInfo2(session_, info));
    EXPECT_EQ(r.value, info.NXEmailID);
    EXPECT_EQ(20, info.NXDocumentID);
    EXPECT_EQ(4, info.NXCrsRefViewID);
  }
}

TEST_F(DefinitionsE2e, GetKeepsWhatWasReadBeforeAFailure) {
  // The third key is missing: the first two are read, the rest stay 0.
  session_.m_pHLN->deleteEngineConfigValue(_bstr_t("NXSprsdViewID"), 0);
  TaVNcfgInfo2_t info{9, 9, 9, 9, 9};
  TraceCapture cap;
  EXPECT_EQ(-1, GetTaVNcfgInfo2(session_, info));
  EXPECT_EQ((std::vector<int32_t>{20, 21, 0, 0, 0}), members(info));
  EXPECT_EQ(1u, cap.count(1, kModule, "GetTaVNcfgInfo2", "Failed to Get Value from HLN"));
}

TEST_F(DefinitionsE2e, CallsOnALoggedOutFacadeFail) {
  // The facade refuses every call once the server session is gone.
  session_.m_pHLN->logout();
  TaVNcfgInfo2_t info{1, 2, 3, 4, 5};
  TraceCapture cap;
  EXPECT_EQ(-1, SetTaVNcfgInfo2(session_, info));
  EXPECT_EQ(-1, GetTaVNcfgInfo2(session_, info));
  EXPECT_THAT(cap.lines(kModule),
              ElementsAre(Line(1, "SetTaVNcfgInfo2", "Failed to Set Value in HLN"),
                          Line(1, "GetTaVNcfgInfo2", "Failed to Get Value from HLN")));
  // Log in again so that TearDown can restore the seed values.
  delete session_.m_pHLN;
  session_.m_pHLN = nullptr;
  ASSERT_EQ(0, TaVNlogon(ds_.get(), session_));
}

// ---------------------------------------------------------------------------
// A session without a facade: no server needed.

TEST(SessionWithoutFacade, EveryFunctionRefusesIt) {
  QELsession session;
  ASSERT_EQ(nullptr, session.m_pHLN);
  TraceCapture cap;

  EXPECT_EQ(-1, TaVNlogoff(session));
  TaVNcfgInfo2_t info{1, 2, 3, 4, 5};
  EXPECT_EQ(-1, GetTaVNcfgInfo2(session, info));
  EXPECT_EQ((std::vector<int32_t>{1, 2, 3, 4, 5}), members(info));  // untouched
  EXPECT_EQ(-1, SetTaVNcfgInfo2(session, info));
  EXPECT_EQ(-1, CleanTaVNcfgInfo2(session));

  EXPECT_THAT(cap.lines(kModule),
              ElementsAre(Line(3, "TaVNlogoff", "Begins"), Line(1, "TaVNlogoff", "NULL QELsession"),
                          Line(1, "GetTaVNcfgInfo2", "NULL QELsession"),
                          Line(1, "SetTaVNcfgInfo2", "NULL QELsession"),
                          Line(1, "CleanTaVNcfgInfo2", "NULL QELsession")));
  // No facade was asked for anything.
  EXPECT_THAT(cap.lines("QELHLN"), IsEmpty());
}

TEST(SessionWithoutFacade, NullDatastoreFailsBothLogons) {
  QELsession session;
  TraceCapture cap;
  EXPECT_EQ(-1, TaVNlogon(nullptr, session));
  EXPECT_EQ(-1, TaVNAdminLogon(nullptr, session));
  EXPECT_EQ(nullptr, session.m_pHLN);
  EXPECT_THAT(cap.lines(kModule),
              ElementsAre(Line(3, "TaVNlogon", "Begins"),
                          Line(1, "TaVNlogon", "Failed at GetTaVNcfgInfo"),
                          Line(1, "TaVNAdminLogon", "Failed at GetTaVNcfgInfo")));
}

TEST(SessionWithoutFacade, CopiesShareTheFacadeAndDestructionKeepsIt) {
  auto* facade = new HLNinterfaces();
  {
    QELsession a;
    a.m_pHLN = facade;
    QELsession b;
    QELsession& same = (b = a);
    EXPECT_EQ(&b, &same);
    EXPECT_EQ(facade, b.m_pHLN);
    EXPECT_EQ(facade, a.m_pHLN);
  }
  // Neither session deleted the facade (a second delete would show in the
  // sanitizer build): it still belongs to whoever logged on.
  delete facade;
}

}  // namespace
