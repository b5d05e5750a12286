// The system configuration record on a real server, and its cache.
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QELUtilities.h"
#include "TaVNtraceCapture.h"
#include "caches.h"
#include "cfg_info.h"
#include "debug_output.h"
#include "gx_test_server.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

TaVNcfgInfo_t sample(const char* tag = "") {
  TaVNcfgInfo_t r;
  r.LibSer = GxString("LIBSRV") + tag;
  r.ZulHost = GxString("records.example") + tag;
  r.ZulDB = "RMDB";
  r.ZulPwd = "zul#pw";
  r.ZulURL = "http://records.example/client";
  r.ZulSURL = "http://records.example/";
  r.ZulORB = 1570;
  r.HostID = -12;
  r.HostPW = "host=pw";
  r.Outlook = "QELMail";
  r.QELPwd = "qel pw";
  return r;
}

std::vector<std::string> fields(const TaVNcfgInfo_t& r) {
  return {r.LibSer.str(), r.ZulHost.str(), r.ZulDB.str(), r.ZulPwd.str(),
          r.ZulURL.str(), r.ZulSURL.str(), std::to_string(r.ZulORB), std::to_string(r.HostID),
          r.HostPW.str(), r.Outlook.str(), r.QELPwd.str()};
}

const std::vector<std::string> kGoodChildren = {
    "LibSer#@#L", "ZulHost#@#H", "ZulDB#@#D", "HostID#@#3", "HostPW#@#hp", "Outlook#@#QELMail",
    "ZulPwd#@#zp", "ZulURL#@#u", "ZulSURL#@#su", "ZulORB#@#99", "QELPwd#@#qp"};

class CfgInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cfgInfoCache().Reset();  // the cache outlives each test's server
    ds_ = server_.connectAdmin();
  }
  void TearDown() override { cfgInfoCache().Reset(); }

  // Stores a root item whose children hold exactly `texts`, bypassing the
  // library, to make bad records.
  void storeRaw(const std::vector<std::string>& texts) {
    std::unique_ptr<GxDDO> root(ds_->createDDO(GxString("QELconfig"), 1));
    root->setData(root->dataId(GxString("QELkey")), GxAny("SystemConfig"));
    gxCollection* children = root->getData(root->dataId(GxString("QELvalue")));
    for (const auto& t : texts) {
      GxDDO* child = ds_->createChildDDO(GxString("QELconfig"), GxString("QELvalue"));
      child->setData(child->dataId(GxString("QELvalue")), GxAny(t.c_str()));
      children->addElement(GxAny(static_cast<gxDataObjectBase*>(child)));
    }
    root->add();
  }
  long rootCount() {
    GxNVPair opts[3];
    opts[0].setName("MAX_RESULTS");
    opts[0].setValue(GxAny("0"));
    opts[1].setName("RETRIEVE_OPTION");
    opts[1].setValue(GxAny(2050L));
    opts[2].setName("End");
    std::unique_ptr<gxCollection> c(
        ds_->query(GxString("/QELconfig[@QELkey=\"SystemConfig\"]"), 7, opts).asCollection());
    return c->count();
  }
  std::vector<std::string> storedChildren() {
    std::unique_ptr<gxCollection> c(
        ds_->query(GxString("/QELconfig[@QELkey=\"SystemConfig\"]/QELvalue"), 7, nullptr).asCollection());
    std::vector<std::string> out;
    for (long i = 0; i < c->count(); ++i) {
      auto* d = dynamic_cast<GxDDO*>(c->elementAt(i).asObject());
      out.push_back(d->getData(d->dataId(GxString("QELvalue"))).asString().str());
    }
    return out;
  }

  GxTestServer server_{"QelMixed"};
  std::unique_ptr<GxDatastoreDVX> ds_;
};

TEST_F(CfgInfoTest, SetWithNoRecordStoresElevenChildrenInOrder) {
  TaVNcfgInfo_t in = sample();
  ASSERT_EQ(0, SetTaVNcfgInfo(ds_.get(), in));
  EXPECT_EQ(1, rootCount());
  EXPECT_THAT(storedChildren(),
              ElementsAre("LibSer#@#LIBSRV", "ZulHost#@#records.example", "ZulDB#@#RMDB",
                          "HostID#@#-12", "HostPW#@#host=pw", "Outlook#@#QELMail",
                          "ZulPwd#@#zul#pw", "ZulURL#@#http://records.example/client",
                          "ZulSURL#@#http://records.example/", "ZulORB#@#1570", "QELPwd#@#qel pw"));
  // Read back from the server, not the cache.
  cfgInfoCache().Reset();
  TaVNcfgInfo_t out;
  DebugOutputCapture cap;
  ASSERT_EQ(0, GetTaVNcfgInfo(ds_.get(), out));
  EXPECT_THAT(cap.texts(), IsEmpty());
  EXPECT_EQ(fields(in), fields(out));
}

TEST_F(CfgInfoTest, SetWithOneRecordReplacesIt) {
  TaVNcfgInfo_t first = sample("1"), second = sample("2");
  ASSERT_EQ(0, SetTaVNcfgInfo(ds_.get(), first));
  ASSERT_EQ(0, SetTaVNcfgInfo(ds_.get(), second));
  EXPECT_EQ(1, rootCount());
  EXPECT_EQ(11u, storedChildren().size());
  cfgInfoCache().Reset();
  TaVNcfgInfo_t out;
  ASSERT_EQ(0, GetTaVNcfgInfo(ds_.get(), out));
  EXPECT_EQ(fields(second), fields(out));
}

TEST_F(CfgInfoTest, SetWithTwoRecordsChangesNothing) {
  storeRaw(kGoodChildren);
  storeRaw(kGoodChildren);
  TaVNcfgInfo_t in = sample();
  EXPECT_EQ(-1, SetTaVNcfgInfo(ds_.get(), in));
  EXPECT_EQ(2, rootCount());
  EXPECT_EQ(nullptr, cfgInfoCache().Get("QELMIXED", nullptr));
}

// Building the new record fails (a value too long for the attribute): the
// stored record must survive.
TEST_F(CfgInfoTest, SetFailureKeepsTheStoredRecord) {
  TaVNcfgInfo_t good = sample();
  ASSERT_EQ(0, SetTaVNcfgInfo(ds_.get(), good));
  TaVNcfgInfo_t bad = sample();
  bad.ZulURL = GxString(std::string(5000, 'u'));
  TraceCapture trace;
  EXPECT_EQ(-1, SetTaVNcfgInfo(ds_.get(), bad));
  EXPECT_EQ(1u, trace.count(1, "QEL", "...", "Caught GxException!"));
  EXPECT_EQ(1, rootCount());
  cfgInfoCache().Reset();
  TaVNcfgInfo_t out;
  ASSERT_EQ(0, GetTaVNcfgInfo(ds_.get(), out));
  EXPECT_EQ(fields(good), fields(out));
}

TEST_F(CfgInfoTest, SetInsideCallersTransactionJoinsIt) {
  ds_->startTransaction();
  TaVNcfgInfo_t in = sample();
  ASSERT_EQ(0, SetTaVNcfgInfo(ds_.get(), in));
  EXPECT_TRUE(ds_->inTransaction());
  ds_->rollback();
  EXPECT_EQ(0, rootCount());
}

TEST_F(CfgInfoTest, CleanWithZeroOneTwoRecords) {
  const char* kMsg = "ERROR [CleanTaVNcfgInfo]: None or more than one record found.\n";
  {
    DebugOutputCapture cap;
    EXPECT_EQ(-1, CleanTaVNcfgInfo(ds_.get()));
    EXPECT_THAT(cap.texts(), ElementsAre(kMsg));
  }
  TaVNcfgInfo_t in = sample();
  ASSERT_EQ(0, SetTaVNcfgInfo(ds_.get(), in));
  ASSERT_NE(nullptr, cfgInfoCache().Get("QELMIXED", nullptr));
  EXPECT_EQ(0, CleanTaVNcfgInfo(ds_.get()));
  EXPECT_EQ(0, rootCount());
  EXPECT_EQ(0, cfgInfoCache().count()) << "the whole cache is emptied";
  TaVNcfgInfo_t out;
  EXPECT_EQ(-1, GetTaVNcfgInfo(ds_.get(), out));

  storeRaw(kGoodChildren);
  storeRaw(kGoodChildren);
  DebugOutputCapture cap;
  EXPECT_EQ(-1, CleanTaVNcfgInfo(ds_.get()));
  EXPECT_THAT(cap.texts(), ElementsAre(kMsg));
  EXPECT_EQ(2, rootCount());
  EXPECT_EQ(-1, CleanTaVNcfgInfo(nullptr));
}

TEST_F(CfgInfoTest, GetRejectsBadRecords) {
  struct Row { std::vector<std::string> children; std::vector<std::string> messages; const char* why; };
  std::vector<std::string> ten(kGoodChildren.begin(), kGoodChildren.end() - 1);
  std::vector<std::string> outlookTwice = kGoodChildren;
  outlookTwice[10] = "Outlook#@#Again";
  std::vector<std::string> proxy = kGoodChildren;
  proxy[3] = "Proxy#@#x";  // after LibSer(1), ZulHost(2), ZulDB(3)
  std::vector<std::string> noSep = kGoodChildren;
  noSep[5] = "Outlook=QELMail";
  std::vector<std::string> emptyKey = kGoodChildren;
  emptyKey[0] = "#@#L";
  // Duplicates whose ordinals add up to 66 all the same: LibSer(1) and
  // HostID(4) missing, ZulHost(2) and ZulDB(3) twice.
  std::vector<std::string> compensated = kGoodChildren;
  compensated[0] = "ZulHost#@#H2";
  compensated[3] = "ZulDB#@#D2";
  const Row rows[] = {
      {{}, {"ERROR [GetTaVNcfgInfo]: No record found.\n"}, "no record"},
      {ten, {"ERROR [GetTaVNcfgInfo]: Incorrect number of data entry.\n"}, "ten children"},
      {outlookTwice, {"ERROR [GetTaVNcfgInfo]: Incorrect checksum 61.\n"}, "Outlook twice, QELPwd missing"},
      {proxy, {"ERROR [GetTaVNcfgInfo]: Invalid Key - Proxy\n", "ERROR [GetTaVNcfgInfo]: Incorrect checksum 6.\n"},
       "unknown key stops reading"},
      {noSep, {"ERROR [GetTaVNcfgInfo]: Cannot decode data - Outlook=QELMail\n"}, "no separator"},
      {emptyKey, {"ERROR [GetTaVNcfgInfo]: Cannot decode data - #@#L\n"}, "empty key"},
      {compensated, {"ERROR [GetTaVNcfgInfo]: Incorrect checksum 66.\n"}, "duplicates cannot pass as complete"},
  };
  for (const Row& r : rows) {
    if (rootCount() == 1) {
      ASSERT_EQ(0, CleanTaVNcfgInfo(ds_.get()));
    }
    if (!r.children.empty()) storeRaw(r.children);
    TaVNcfgInfo_t out;
    DebugOutputCapture cap;
    EXPECT_EQ(-1, GetTaVNcfgInfo(ds_.get(), out)) << r.why;
    EXPECT_THAT(cap.texts(), ElementsAreArray(r.messages)) << r.why;
    EXPECT_EQ(0, cfgInfoCache().count()) << r.why;
  }
}

TEST_F(CfgInfoTest, MembersReadBeforeAFailureStayAssigned) {
  std::vector<std::string> children = kGoodChildren;
  children[3] = "Proxy#@#x";
  storeRaw(children);
  TaVNcfgInfo_t out;
  out.HostPW = "caller's";
  EXPECT_EQ(-1, GetTaVNcfgInfo(ds_.get(), out));
  EXPECT_EQ("L", out.LibSer.str());
  EXPECT_EQ("D", out.ZulDB.str());
  EXPECT_EQ("caller's", out.HostPW.str());
}

TEST_F(CfgInfoTest, ReadOrderDoesNotMatterAndIntegersConvert) {
  std::vector<std::string> reversed(kGoodChildren.rbegin(), kGoodChildren.rend());
  storeRaw(reversed);
  TaVNcfgInfo_t out;
  ASSERT_EQ(0, GetTaVNcfgInfo(ds_.get(), out));
  EXPECT_EQ(3, out.HostID);
  EXPECT_EQ(99, out.ZulORB);
  EXPECT_EQ("QELMail", out.Outlook.str());
}

TEST_F(CfgInfoTest, SecondReadComesFromCacheUnderUpperCasedName) {
  storeRaw(kGoodChildren);
  TaVNcfgInfo_t first;
  {
    DebugOutputCapture cap;
    ASSERT_EQ(0, GetTaVNcfgInfo(ds_.get(), first));
    EXPECT_THAT(cap.texts(), IsEmpty());
  }
  ASSERT_NE(nullptr, cfgInfoCache().Get("QELMIXED", nullptr));
  // Another connection, logged on with the name in other letters.
  auto other = server_.connect("qeladmin", GxTestServer::kQelAdminPw, "qelmixed");
  DebugOutputCapture cap;
  TaVNcfgInfo_t second;
  ASSERT_EQ(0, GetTaVNcfgInfo(other.get(), second));
  EXPECT_THAT(cap.texts(), ElementsAre("INFO [GetTaVNcfgInfo]: got cached copy\n"));
  EXPECT_EQ(fields(first), fields(second));
}

TEST_F(CfgInfoTest, SetFillsTheCache) {
  TaVNcfgInfo_t in = sample();
  ASSERT_EQ(0, SetTaVNcfgInfo(ds_.get(), in));
  DebugOutputCapture cap;
  TaVNcfgInfo_t out;
  ASSERT_EQ(0, GetTaVNcfgInfo(ds_.get(), out));
  EXPECT_THAT(cap.texts(), ElementsAre("INFO [GetTaVNcfgInfo]: got cached copy\n"));
  EXPECT_EQ(fields(in), fields(out));
}

TEST_F(CfgInfoTest, CacheHoldsThreeServers) {
  const char* names[] = {"SRVB", "SRVC", "SRVD"};
  for (const char* n : names) server_.addServer(n);
  storeRaw(kGoodChildren);
  TaVNcfgInfo_t out;
  ASSERT_EQ(0, GetTaVNcfgInfo(ds_.get(), out));
  for (const char* n : names) {
    auto ds = server_.connect("qeladmin", GxTestServer::kQelAdminPw, n);
    TaVNcfgInfo_t r = sample(n);
    ASSERT_EQ(0, SetTaVNcfgInfo(ds.get(), r)) << n;
  }
  EXPECT_EQ(nullptr, cfgInfoCache().Get("QELMIXED", nullptr)) << "oldest evicted";
  DebugOutputCapture cap;
  ASSERT_EQ(0, GetTaVNcfgInfo(ds_.get(), out));
  EXPECT_THAT(cap.texts(), IsEmpty()) << "read from the server again";
}

TEST_F(CfgInfoTest, NullDatastore) {
  TaVNcfgInfo_t r;
  EXPECT_EQ(-1, GetTaVNcfgInfo(nullptr, r));
  EXPECT_EQ(-1, SetTaVNcfgInfo(nullptr, r));
  EXPECT_EQ(nullptr, CreateTaVNcfgDDO(nullptr, r));
}

}  // namespace
