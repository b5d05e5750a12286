// Logon, server and group lists, the exception dump and the item listing.
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QELResource.h"
#include "QELUtilities.h"
#include "TaVNtraceCapture.h"
#include "gx_test_server.h"
#include "platform/gx/gx_fault_injection.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string text(unsigned id) { return QELLoadString(id).str(); }

class DvxSessionTest : public ::testing::Test {
 protected:
  GxTestServer server_;
};

TEST_F(DvxSessionTest, LogonWithNullDatastoreSetsText2055) {
  TraceCapture cap;
  GxString err;
  EXPECT_EQ(-1, DVXlogon(nullptr, server_.name().c_str(), "alice", GxTestServer::kAlicePw, err));
  EXPECT_EQ(text(2055), err.str());
  EXPECT_EQ(0u, cap.size());
}

TEST_F(DvxSessionTest, LogonSucceedsAndLogoffDisconnects) {
  GxDatastoreDVX ds;
  GxString err("untouched");
  EXPECT_EQ(0, DVXlogon(&ds, server_.name().c_str(), "alice", GxTestServer::kAlicePw, err));
  EXPECT_TRUE(ds.isConnected());
  EXPECT_EQ("untouched", err.str());
  EXPECT_EQ(0, DVXlogoff(&ds));
  EXPECT_FALSE(ds.isConnected());
}

// Each failing connect yields its text and exactly one dump under DVXlogon.
TEST_F(DvxSessionTest, LogonFailuresByExceptionId) {
  struct Row { const char* server; const char* user; const char* pw; bool preconnect; int exId; unsigned textId; const char* why; };
  const Row rows[] = {
      {nullptr, "alice", "wrong", false, 11, 2005, "wrong password"},
      {nullptr, "nobody", "x", false, 11, 2005, "unknown user"},
      {"NOSUCHSERVER", "alice", GxTestServer::kAlicePw, false, 16, 2003, "unknown server"},
      {nullptr, "alice", GxTestServer::kAlicePw, true, 3, 3937, "already connected: any other id"},
  };
  for (const Row& r : rows) {
    GxDatastoreDVX ds;
    const std::string srv = r.server ? r.server : server_.name();
    if (r.preconnect) ds.connect(GxString(srv), GxString("bob"), GxString(GxTestServer::kBobPw), GxString(""));
    TraceCapture cap;
    GxString err;
    EXPECT_EQ(-1, DVXlogon(&ds, srv.c_str(), r.user, r.pw, err)) << r.why;
    EXPECT_EQ(text(r.textId), err.str()) << r.why;
    EXPECT_EQ(1u, cap.count(1, "QELUtilities", "DVXlogon", "Caught GxException!")) << r.why << cap.dump();
    EXPECT_EQ(1u, cap.count(1, "QELUtilities", "DVXlogon", "  Exception ID: " + std::to_string(r.exId)))
        << r.why << cap.dump();
    // The dump names only the exception: no password reaches the trace.
    EXPECT_THAT(cap.dump(), ::testing::Not(HasSubstr(GxTestServer::kAlicePw))) << r.why;
  }
}

TEST_F(DvxSessionTest, LogoffOfNullOrUnconnectedDatastore) {
  EXPECT_EQ(-1, DVXlogoff(nullptr));
  GxDatastoreDVX ds;
  TraceCapture cap;
  EXPECT_EQ(-1, DVXlogoff(&ds));
  EXPECT_EQ(1u, cap.count(1, "QELUtilities", "DVXlogoff", "Caught GxException!"));
}

TEST_F(DvxSessionTest, ServersInFileOrder) {
  server_.addServer("SECOND");
  GxString* list = nullptr;
  ASSERT_EQ(2, GetDVXservers(list));
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(server_.name(), list[0].str());
  EXPECT_EQ("SECOND", list[1].str());
  delete[] list;
}

TEST_F(DvxSessionTest, NoServersLeavesListUntouched) {
  const char* old = std::getenv("GXSERVERS");
  const std::string saved = old ? old : "";
  setenv("GXSERVERS", (server_.dir() + "/absent.conf").c_str(), 1);
  GxString marker;
  GxString* list = &marker;
  EXPECT_EQ(0, GetDVXservers(list));
  EXPECT_EQ(&marker, list);

  // A malformed servers file is a connector failure: dumped, 0.
  std::ofstream(server_.dir() + "/bad.conf") << "this line has no equals sign\n";
  setenv("GXSERVERS", (server_.dir() + "/bad.conf").c_str(), 1);
  TraceCapture cap;
  EXPECT_EQ(0, GetDVXservers(list));
  EXPECT_EQ(&marker, list);
  EXPECT_EQ(1u, cap.count(1, "QELUtilities", "GetDVXservers", "Caught GxException!"));
  setenv("GXSERVERS", saved.c_str(), 1);
}

TEST_F(DvxSessionTest, GroupsStartWithPublicGroup) {
  auto ds = server_.connectAdmin();
  GxString* groups = nullptr;
  ASSERT_EQ(3, GetDVXgroup4user(ds.get(), "alice", groups));
  EXPECT_EQ("DVXPUBLC", groups[0].str());
  EXPECT_EQ("Finance", groups[1].str());
  EXPECT_EQ("Legal", groups[2].str());
  delete[] groups;

  groups = nullptr;
  ASSERT_EQ(1, GetDVXgroup4user(ds.get(), "bob", groups));
  EXPECT_EQ("DVXPUBLC", groups[0].str());
  delete[] groups;
}

TEST_F(DvxSessionTest, GroupsBadInputAndUnknownUser) {
  auto ds = server_.connectAdmin();
  GxString marker;
  GxString* groups = &marker;
  EXPECT_EQ(0, GetDVXgroup4user(ds.get(), nullptr, groups));
  EXPECT_EQ(nullptr, groups);
  groups = &marker;
  EXPECT_EQ(0, GetDVXgroup4user(nullptr, "alice", groups));
  EXPECT_EQ(nullptr, groups);

  TraceCapture cap;
  groups = &marker;
  EXPECT_EQ(0, GetDVXgroup4user(ds.get(), "nobody", groups));
  EXPECT_EQ(nullptr, groups);
  EXPECT_EQ(1u, cap.count(1, "QELUtilities", "GetDVXgroup4user", "Caught GxException!"));
}

TEST(OutputDebugGxException, DumpLinesExactly) {
  GxException e(9, "no such item");
  e.addText("second text");
  e.addLocation("store.cc", "loadItem", 120);
  e.addLocation("gx_ddo.cc", "retrieve", -3);
  TraceCapture cap;
  OutputDebugGxException(&e, "QELUtilities", "TaVNDeleteNXItem");
  const std::string rule(46, '-');
  auto L = [](const std::string& t) { return TraceLine{1, "QELUtilities", "TaVNDeleteNXItem", t}; };
  EXPECT_THAT(cap.lines(),
              ElementsAre(L(rule), L("Caught GxException!"), L("      Error ID: 9"),
                          L("  Exception ID: 9"), L("    Error Text: no such item"),
                          L("    Error Text: second text"), L("      Filename: store.cc"),
                          L("      Function: loadItem"), L("   Line Number: 120"),
                          L("      Filename: gx_ddo.cc"), L("      Function: retrieve"),
                          L("   Line Number: -3"), L(rule)));
}

TEST(OutputDebugGxException, DefaultNamesAndStoreErrorId) {
  GxException e(1, "disk I/O error", 778, GX_CODE_SEVERE);
  struct Row { const char* module; const char* function; const char* wantM; const char* wantF; };
  const Row rows[] = {
      {nullptr, nullptr, "QEL", "..."},
      {"", "", "QEL", "..."},
      {"M", nullptr, "M", "..."},
      {nullptr, "F", "QEL", "F"},
  };
  for (const Row& r : rows) {
    TraceCapture cap;
    OutputDebugGxException(&e, r.module, r.function);
    ASSERT_EQ(6u, cap.size()) << cap.dump();
    EXPECT_EQ(6u, cap.lines(r.wantM, r.wantF).size()) << cap.dump();
    EXPECT_TRUE(cap.contains(1, r.wantM, r.wantF, "      Error ID: 778"));
    EXPECT_TRUE(cap.contains(1, r.wantM, r.wantF, "  Exception ID: 1"));
  }
  TraceCapture cap;
  OutputDebugGxException(nullptr, "M", "F");
  EXPECT_EQ(0u, cap.size());
}

TEST_F(DvxSessionTest, PrintDDOListsPropertiesAndData) {
  auto ds = server_.connectAdmin();
  std::unique_ptr<GxDDO> item(ds->createDDO(GxString("QELDocument"), 1));
  item->setData(item->dataId(GxString("Title")), GxAny("Budget"));
  ::testing::internal::CaptureStdout();
  PrintDDO(item.get());
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(0u, out.find("------------------\nObject Type: QELDocument\n\tProperty (1) ")) << out;
  EXPECT_THAT(out, HasSubstr("\n\t\tData (1) Title: Budget\n\t\t\tData Property (1) type: 1\n"));
  EXPECT_THAT(out, HasSubstr("\n\t\tData (2) Author: (null)\n"));
  EXPECT_EQ(out.size() - 19, out.rfind("------------------\n"));

  ::testing::internal::CaptureStdout();
  PrintDDO(nullptr);
  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());
}

// The dump of an injected connector fault, as OutputDebugGxException writes it.
std::vector<TraceLine> injectedDump(const char* module, const char* function, int id,
                                    const char* op) {
  const std::string rule(46, '-');
  auto L = [&](const std::string& t) { return TraceLine{1, module, function, t}; };
  return {L(rule),
          L("Caught GxException!"),
          L("      Error ID: " + std::to_string(id)),
          L("  Exception ID: " + std::to_string(id)),
          L(std::string("    Error Text: injected fault: ") + op),
          L(rule)};
}

// Every counted connector call of GetDVXservers is made to fail in turn:
// listDataSources (nothing handed out) and each iterator step (the array
// stays with the entries read so far, the rest empty). The sanitizer build
// checks that no element, iterator or collection leaks on any path.
TEST_F(DvxSessionTest, FailureWhileIteratingServers) {
  server_.addServer("SECOND");
  server_.addServer("THIRD");
  const std::vector<std::string> all = {server_.name(), "SECOND", "THIRD"};
  long n = 1;
  for (;; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    GxString marker;
    GxString* list = &marker;
    TraceCapture cap;
    int rc;
    bool fired;
    {
      GxFaultInjection fault(GxFaultOp::kAny, n, GxFaultInjection::kGxException, GX_EXC_STORAGE);
      rc = GetDVXservers(list);
      fired = fault.fired();
    }
    if (!fired) {
      ASSERT_EQ(3, rc);
      ASSERT_NE(&marker, list);
      EXPECT_EQ(all, (std::vector<std::string>{list[0].str(), list[1].str(), list[2].str()}));
      EXPECT_EQ(0u, cap.size()) << cap.dump();
      delete[] list;
      break;
    }
    EXPECT_EQ(0, rc);
    if (n == 1) {
      EXPECT_EQ(&marker, list);  // the listing failed: nothing handed out
      EXPECT_EQ(injectedDump("QELUtilities", "GetDVXservers", 1, "GxDatastoreDVX::listDataSources"),
                cap.lines());
      continue;
    }
    ASSERT_NE(&marker, list);
    // Call n is the (n-1)-th iterator step: n-2 names were read before it.
    for (long i = 0; i < 3; ++i)
      EXPECT_EQ(i < n - 2 ? all[static_cast<size_t>(i)] : std::string(), list[i].str()) << i;
    EXPECT_EQ(injectedDump("QELUtilities", "GetDVXservers", 1, "gxIterator::next"), cap.lines());
    delete[] list;
  }
  EXPECT_EQ(5, n);  // listDataSources and three steps were each made to fail
}

// The same for GetDVXgroup4user of alice (Finance, Legal): a failing listing
// gives 0 and no array; a failing step gives 1 with "DVXPUBLC", the groups
// read so far and empty entries for the rest.
TEST_F(DvxSessionTest, FailureWhileIteratingGroups) {
  auto ds = server_.connectAdmin();
  const std::vector<std::string> all = {"DVXPUBLC", "Finance", "Legal"};
  long n = 1;
  for (;; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    GxString marker;
    GxString* groups = &marker;
    TraceCapture cap;
    int rc;
    bool fired;
    {
      GxFaultInjection fault(GxFaultOp::kAny, n, GxFaultInjection::kGxException,
                             GX_EXC_UNKNOWN_USER);
      rc = GetDVXgroup4user(ds.get(), "alice", groups);
      fired = fault.fired();
    }
    if (!fired) {
      ASSERT_EQ(3, rc);
      EXPECT_EQ(all, (std::vector<std::string>{groups[0].str(), groups[1].str(), groups[2].str()}));
      EXPECT_EQ(0u, cap.size()) << cap.dump();
      delete[] groups;
      break;
    }
    if (n == 1) {
      EXPECT_EQ(0, rc);
      EXPECT_EQ(nullptr, groups);
      EXPECT_EQ(injectedDump("QELUtilities", "GetDVXgroup4user", 17,
                             "GxUserMgmtDVX::listGroupsForUser"),
                cap.lines());
      continue;
    }
    EXPECT_EQ(1, rc);
    ASSERT_NE(nullptr, groups);
    ASSERT_NE(&marker, groups);
    // Entry 0 is the public group; call n is step n-1, after n-2 groups.
    for (long i = 0; i < 3; ++i)
      EXPECT_EQ(i <= n - 2 ? all[static_cast<size_t>(i)] : std::string(), groups[i].str()) << i;
    EXPECT_EQ(injectedDump("QELUtilities", "GetDVXgroup4user", 17, "gxIterator::next"),
              cap.lines());
    delete[] groups;
  }
  EXPECT_EQ(4, n);  // the listing and two steps were each made to fail
}

// An exception with neither texts nor locations dumps as exactly five lines;
// the error id is printed as a signed 32-bit value, the exception id signed.
TEST(OutputDebugGxException, DumpOfExceptionWithoutTexts) {
  struct Row { GxException e; const char* module; const char* wantM; const char* errorId; const char* exId; };
  const Row rows[] = {
      {GxException(GX_EXC_BAD_VALUE), "QELUtilities", "QELUtilities", "7", "7"},
      {GxException(GX_EXC_STORAGE, 19UL, GX_CODE_SEVERE), nullptr, "QEL", "19", "1"},
      {GxException(-2), "", "QEL", "65534", "-2"},
      {GxException(GX_EXC_STORAGE, 0xFFFFFFFFUL, GX_CODE_SEVERE), "M", "M", "-1", "1"},
  };
  for (const Row& r : rows) {
    TraceCapture cap;
    OutputDebugGxException(const_cast<GxException*>(&r.e), r.module, "F");
    const std::string rule(46, '-');
    auto L = [&](const std::string& t) { return TraceLine{1, r.wantM, "F", t}; };
    EXPECT_THAT(cap.lines(), ElementsAre(L(rule), L("Caught GxException!"),
                                         L(std::string("      Error ID: ") + r.errorId),
                                         L(std::string("  Exception ID: ") + r.exId), L(rule)))
        << r.exId;
  }
}

}  // namespace
