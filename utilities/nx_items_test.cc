// Item creation with attribute lists and MIME matching, deletion, check-in.
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QELUtilities.h"
#include "TaVNtraceCapture.h"
#include "gx_test_server.h"
#include "nx_items.h"
#include "platform/gx/gx_fault_injection.h"

namespace {

using ::testing::ElementsAreArray;

class NxItemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds_ = server_.connect("alice", GxTestServer::kAlicePw);
    file_ = server_.writeFile("report.final.PDF", "%PDF-1.4 body");
  }

  std::unique_ptr<GxDDO> reload(GxDDO* item) {
    return std::unique_ptr<GxDDO>(ds_->createDDOFromPid(item->getPidString()));
  }
  static std::string attr(GxDDO* item, const char* name) {
    GxAny v = item->getData(item->dataId(GxString(name)));
    return v.isNull() ? "<null>" : v.asString().str();
  }
  static GxLobDVX* onlyPart(GxDDO* item) {
    gxCollection* parts = item->getData(item->dataId(GxString("GxParts")));
    if (parts == nullptr || parts->count() != 1) return nullptr;
    return dynamic_cast<GxLobDVX*>(parts->elementAt(0).asObject());
  }

  GxTestServer server_;
  std::unique_ptr<GxDatastoreDVX> ds_;
  std::string file_;
};

TEST_F(NxItemsTest, CreateWithKnownAndUnknownAttributeTracesEachStep) {
  TraceCapture cap;
  GxDDO* item = nullptr;
  ASSERT_EQ(0, TaVNCreateNXItem(ds_.get(), "QELDocument", file_.c_str(), "Title=A|Nope=B", item));
  std::unique_ptr<GxDDO> owned(item);
  const std::vector<TraceLine> want = {
      {3, "QELUtilities", "TaVNCreateNXItem", "begin."},
      {3, "QELUtilities", "TaVNCreateNXItem", "creating new NX item."},
      {3, "QELUtilities", "TaVNCreateNXItem", "extracting attributes and values provided."},
      {3, "QELUtilities", "TaVNCreateNXItem", "key/value pair (szPair) = Title=A"},
      {2, "QELUtilities", "TaVNCreateNXItem", "attribute name (szName) = Title"},
      {2, "QELUtilities", "TaVNCreateNXItem", "attribute value (szValue) = A"},
      {2, "QELUtilities", "TaVNCreateNXItem", "copied attribute (Title) from list to index class"},
      {3, "QELUtilities", "TaVNCreateNXItem", "key/value pair (szPair) = Nope=B"},
      {2, "QELUtilities", "TaVNCreateNXItem", "attribute name (szName) = Nope"},
      {2, "QELUtilities", "TaVNCreateNXItem", "attribute value (szValue) = B"},
      {2, "QELUtilities", "TaVNCreateNXItem", "possible attribute (Nope) in list is not in index class"},
      {2, "QELUtilities", "TaVNCreateNXItem", "skipping attribute."},
      {3, "QELUtilities", "TaVNCreateNXItem", "setting parts (GxParts) and object content (XDO)."},
      {3, "QELUtilities", "TaVNCreateNXItem", "calling findMimeType()..."},
      {2, "QELUtilities", "TaVNCreateNXItem", "setting mime type to 'application/pdf'"},
      {3, "QELUtilities", "TaVNCreateNXItem", "creating an xdo."},
      {3, "QELUtilities", "TaVNCreateNXItem", "add the xdo to the parts."},
      {3, "QELUtilities", "TaVNCreateNXItem", "add the parts to the ddo."},
      {3, "QELUtilities", "TaVNCreateNXItem", "calling pDDO->add()..."},
      {3, "QELUtilities", "TaVNCreateNXItem", "pDDO->add() was successful."},
      {3, "QELUtilities", "TaVNCreateNXItem", "end."},
  };
  EXPECT_THAT(cap.lines("QELUtilities", "TaVNCreateNXItem"), ElementsAreArray(want));
  EXPECT_EQ(1, GxEnvironment::getSubSystem());

  auto stored = reload(item);
  EXPECT_EQ("A", attr(stored.get(), "Title"));
  EXPECT_EQ("<null>", attr(stored.get(), "Author"));
  GxLobDVX* part = onlyPart(stored.get());
  ASSERT_NE(nullptr, part);
  EXPECT_EQ("application/pdf", part->getMimeType().str());
  EXPECT_EQ(7, part->getPartNumber());
  EXPECT_EQ("%PDF-1.4 body", std::string(part->getContent(), part->getContentSize()));
}

// How attribute lists are split and applied.
TEST_F(NxItemsTest, AttributeListForms) {
  const std::string longTitle(200, 't');  // beyond the old fixed 99-character value buffer
  struct Row { std::string list; std::string title; std::string author; const char* why; };
  const Row rows[] = {
      {"Title=a=b|Author=x", "a=b", "x", "value is everything after the first ="},
      {"||Title=T||Author=U|", "T", "U", "empty pairs are skipped"},
      {"Junk|Title=T", "T", "<null>", "pair without = is skipped"},
      {"Title=", "", "<null>", "empty value"},
      {"Title=" + longTitle, longTitle, "<null>", "long values are not cut"},
  };
  for (const Row& r : rows) {
    GxDDO* item = nullptr;
    TraceCapture cap;
    ASSERT_EQ(0, TaVNCreateNXItem(ds_.get(), "QELDocument", file_.c_str(), r.list.c_str(), item)) << r.why;
    std::unique_ptr<GxDDO> owned(item);
    auto stored = reload(item);
    EXPECT_EQ(r.title, attr(stored.get(), "Title")) << r.why;
    EXPECT_EQ(r.author, attr(stored.get(), "Author")) << r.why;
    if (r.list.rfind("Junk", 0) == 0) {
      EXPECT_TRUE(cap.contains(2, "QELUtilities", "TaVNCreateNXItem", "key/value pair has no '=', skipping."));
    }
  }
}

TEST_F(NxItemsTest, NullAttributeListStoresOnlyTheParts) {
  TraceCapture cap;
  GxDDO* item = nullptr;
  ASSERT_EQ(0, TaVNCreateNXItem(ds_.get(), "QELDocument", file_.c_str(), nullptr, item));
  std::unique_ptr<GxDDO> owned(item);
  EXPECT_FALSE(cap.contains("extracting attributes and values provided."));
  auto stored = reload(item);
  EXPECT_EQ("<null>", attr(stored.get(), "Title"));
  EXPECT_NE(nullptr, onlyPart(stored.get()));
}

TEST_F(NxItemsTest, FailuresLeaveAnUnstoredItemForTheCaller) {
  struct Row { const char* type; std::string file; std::string list; const char* why; };
  const Row rows[] = {
      {"QELDocument", file_, "Author=" + std::string(300, 'a'), "value too long for the attribute"},
      {"QELDocument", server_.dir() + "/missing.pdf", "", "unreadable file"},
  };
  for (const Row& r : rows) {
    TraceCapture cap;
    GxDDO* item = nullptr;
    EXPECT_EQ(-1, TaVNCreateNXItem(ds_.get(), r.type, r.file.c_str(), r.list.c_str(), item)) << r.why;
    ASSERT_NE(nullptr, item) << r.why;
    EXPECT_FALSE(item->isStored()) << r.why;
    delete item;
    EXPECT_EQ(1u, cap.count(1, "QELUtilities", "TaVNCreateNXItem", "Caught GxException!")) << r.why;
    EXPECT_EQ("end.", cap.texts("QELUtilities", "TaVNCreateNXItem").back()) << r.why;
  }
  // Unknown item type: no item object at all.
  GxDDO* item = nullptr;
  EXPECT_EQ(-1, TaVNCreateNXItem(ds_.get(), "NoSuchType", file_.c_str(), nullptr, item));
  EXPECT_EQ(nullptr, item);
  EXPECT_EQ(-1, TaVNCreateNXItem(nullptr, "QELDocument", file_.c_str(), nullptr, item));
}

// Names beyond the old fixed 49-character name buffer are used whole.
TEST_F(NxItemsTest, LongAttributeNameIsNotCut) {
  const std::string name = "Attribute_" + std::string(50, 'n');  // 60 characters
  GxItemTypeSpecDVX spec;
  spec.name = "LongNames";
  spec.classification = 2;
  GxAttrSpecDVX a;
  a.name = name;
  spec.attributes.push_back(a);
  GxAttrSpecDVX cut;
  cut.name = name.substr(0, 49);
  spec.attributes.push_back(cut);
  server_.admin().defineItemType(spec);
  GxDDO* item = nullptr;
  const std::string list = name + "=whole";
  ASSERT_EQ(0, TaVNCreateNXItem(ds_.get(), "LongNames", file_.c_str(), list.c_str(), item));
  std::unique_ptr<GxDDO> owned(item);
  auto stored = reload(item);
  EXPECT_EQ("whole", attr(stored.get(), name.c_str()));
  EXPECT_EQ("<null>", attr(stored.get(), cut.name.c_str()));
}

TEST_F(NxItemsTest, MimeTypeBySuffix) {
  server_.admin().addMimeType("application/x-capitals", "CAPX");
  server_.admin().addMimeType("application/x-longer", "abcx,abcy");
  server_.admin().addMimeType("application/x-shorter", "abc");
  struct Row { const char* file; const char* mime; const char* why; };
  const Row rows[] = {
      {"report.final.PDF", "application/pdf", "last dot, lower-cased"},
      {"a.doc", "application/msword", "doc,dot"},
      {"f.abc", "application/x-longer", "substring of an earlier list (abcx,abcy) wins"},
      {"b.docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document", "exact"},
      {"c.capx", "application/x-capitals", "definition in capitals matches"},
      {"d.ml", "message/rfc822", "substring of eml, listed before html"},
      {"e.unknownext", "text/plain", "no match: text/plain"},
      {"mail.MSG", "application/vnd.ms-outlook", "msg"},
      {"notes.txt", "text/plain", "txt"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.mime, findMimeType(ds_.get(), GxString(r.file)).str()) << r.why;
}

TEST_F(NxItemsTest, MimeTraceLinesForMsgTxtAndNoMatch) {
  struct Row { const char* file; TraceLine want; };
  const Row rows[] = {
      {"m.msg", {3, "QELUtilities", "findMimeType", "Outlook msg mime type = application/vnd.ms-outlook"}},
      {"n.txt", {3, "QELUtilities", "findMimeType", "found default txt match, saving"}},
      {"o.zzz", {3, "QELUtilities", "findMimeType", "could not find a match, using mime type for txt."}},
  };
  for (const Row& r : rows) {
    TraceCapture cap;
    findMimeType(ds_.get(), GxString(r.file));
    auto lines = cap.lines("QELUtilities", "findMimeType");
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), r.want)) << cap.dump();
    EXPECT_EQ((TraceLine{3, "QELUtilities", "findMimeType", "begin."}), lines.front());
    EXPECT_EQ((TraceLine{3, "QELUtilities", "findMimeType", "end."}), lines.back());
  }
  TraceCapture cap;
  findMimeType(ds_.get(), GxString("p.pdf"));
  EXPECT_TRUE(cap.contains(2, "QELUtilities", "findMimeType", "file name suffix = pdf"));
  EXPECT_TRUE(cap.contains(3, "QELUtilities", "findMimeType", "current suffix list is 'txt,text,log'"));
  EXPECT_TRUE(cap.contains(2, "QELUtilities", "findMimeType", "found suffix match."));
  EXPECT_TRUE(cap.contains(2, "QELUtilities", "findMimeType", "mime type = application/pdf"));
}

TEST_F(NxItemsTest, DeleteByItemIdThenAgainFails) {
  GxDDO* item = nullptr;
  ASSERT_EQ(0, TaVNCreateNXItem(ds_.get(), "QELDocument", file_.c_str(), "Title=x", item));
  std::unique_ptr<GxDDO> owned(item);
  const GxString id = item->getItemId();
  {
    TraceCapture cap;
    EXPECT_EQ(0, TaVNDeleteNXItem(ds_.get(), id));
    EXPECT_THAT(cap.texts("QELUtilities", "TaVNDeleteNXItem"),
                ElementsAreArray({"begin.", "creating DDO.", "calling pDDO->del()...",
                                  "pDDO->del() was successful.", "end."}));
  }
  EXPECT_THROW(delete ds_->createDDOFromPid(id), GxException);
  TraceCapture cap;
  EXPECT_EQ(-1, TaVNDeleteNXItem(ds_.get(), id));
  EXPECT_EQ(1u, cap.count(1, "QELUtilities", "TaVNDeleteNXItem", "  Exception ID: 9"));
  EXPECT_EQ("end.", cap.texts("QELUtilities", "TaVNDeleteNXItem").back());
}

TEST_F(NxItemsTest, CheckInAllStopsAtFirstFailure) {
  auto bob = server_.connect("bob", GxTestServer::kBobPw);
  GxDDO items[3];
  for (int i = 0; i < 3; ++i) {
    GxDDO* created = nullptr;
    ASSERT_EQ(0, TaVNCreateNXItem(ds_.get(), "QELDocument", file_.c_str(), nullptr, created));
    items[i] = *created;
    delete created;
  }
  ds_->checkOut(&items[0]);
  std::unique_ptr<GxDDO> second(bob->createDDOFromPid(items[1].getPidString()));
  bob->checkOut(second.get());
  ds_->checkOut(&items[2]);

  TraceCapture cap;
  EXPECT_EQ(-1, DVXcheckInAll(ds_.get(), 3, items));
  EXPECT_EQ(1u, cap.count(1, "QELUtilities", "DVXcheckInAll", "  Exception ID: 12"));
  auto checkedOutBy = [&](int i) {
    std::unique_ptr<GxDDO> fresh(ds_->createDDOFromPid(items[i].getPidString()));
    for (unsigned short p = 1; p <= fresh->propertyCount(); ++p)
      if (fresh->getPropertyName(p) == "CheckedOutBy") return fresh->getProperty(p).asString().str();
    return std::string("?");
  };
  EXPECT_EQ("", checkedOutBy(0));
  EXPECT_EQ("bob", checkedOutBy(1));
  EXPECT_EQ("alice", checkedOutBy(2));

  EXPECT_EQ(0, DVXcheckInAll(ds_.get(), 0, nullptr));
  EXPECT_EQ(0, DVXcheckInAll(ds_.get(), 1, &items[2]));
  EXPECT_EQ("", checkedOutBy(2));
}

// Any exception that is not a GxException, at any connector call, is traced
// as "caught a critical error!" (level 1) and ends the function with "end."
// and -1; nothing is stored or deleted on the server. Every counted call of
// each function is made to fail in turn.
TEST_F(NxItemsTest, NonConnectorExceptionIsCaughtAsCriticalError) {
  const char* create = "TaVNCreateNXItem";
  auto storedCount = [&] {
    GxAny r = ds_->query(GxString("/QELDocument[@Title LIKE \"crit%\"]"), 7, nullptr);
    std::unique_ptr<gxCollection> c(static_cast<gxCollection*>(r));
    return c->count();
  };
  long n = 1;
  for (;; ++n) {
    SCOPED_TRACE("create, failing call " + std::to_string(n));
    TraceCapture cap;
    GxDDO* item = nullptr;
    int rc;
    bool fired;
    {
      GxFaultInjection fault(GxFaultOp::kAny, n, GxFaultInjection::kRuntimeError);
      rc = TaVNCreateNXItem(ds_.get(), "QELDocument", file_.c_str(), "Title=crit|Nope=x", item);
      fired = fault.fired();
    }
    std::unique_ptr<GxDDO> owned(item);
    if (!fired) {
      EXPECT_EQ(0, rc);
      EXPECT_EQ(0u, cap.count("caught a critical error!"));
      EXPECT_EQ(1, storedCount());
      break;
    }
    EXPECT_EQ(-1, rc);
    // The item object exists from the second call on and stays the caller's.
    EXPECT_EQ(n > 1, item != nullptr);
    if (item != nullptr) {
      EXPECT_FALSE(item->isStored());
    }
    const std::vector<TraceLine> lines = cap.lines("QELUtilities", create);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ((TraceLine{3, "QELUtilities", create, "begin."}), lines.front());
    EXPECT_EQ((TraceLine{1, "QELUtilities", create, "caught a critical error!"}), lines[lines.size() - 2]);
    EXPECT_EQ((TraceLine{3, "QELUtilities", create, "end."}), lines.back());
    EXPECT_EQ(1u, cap.count("caught a critical error!"));
    EXPECT_EQ(0u, cap.count("Caught GxException!"));
    EXPECT_EQ(0u, cap.count("pDDO->add() was successful."));
    EXPECT_EQ(0, storedCount());
  }
  // createDDO, setData(Title), listMimeTypes, two steps (text/plain, then
  // application/pdf), createDDO(DVXBASE), setContentFromFile,
  // setData(GxParts), add: nine calls, each made to fail.
  EXPECT_EQ(10, n);

  GxDDO* victim = nullptr;
  ASSERT_EQ(0, TaVNCreateNXItem(ds_.get(), "QELDocument", file_.c_str(), "Title=crit2", victim));
  std::unique_ptr<GxDDO> ownedVictim(victim);
  const GxString id = victim->getItemId();
  const std::vector<std::vector<std::string>> wantDelete = {
      {"begin.", "creating DDO.", "caught a critical error!", "end."},
      {"begin.", "creating DDO.", "calling pDDO->del()...", "caught a critical error!", "end."},
  };
  for (long k = 1;; ++k) {
    SCOPED_TRACE("delete, failing call " + std::to_string(k));
    TraceCapture cap;
    int rc;
    bool fired;
    {
      GxFaultInjection fault(GxFaultOp::kAny, k, GxFaultInjection::kRuntimeError);
      rc = TaVNDeleteNXItem(ds_.get(), id);
      fired = fault.fired();
    }
    if (!fired) {
      EXPECT_EQ(0, rc);
      EXPECT_EQ(3, k);  // createDDOFromPid and del were each made to fail
      EXPECT_THROW(delete ds_->createDDOFromPid(id), GxException);
      break;
    }
    EXPECT_EQ(-1, rc);
    ASSERT_LE(k, 2);
    EXPECT_THAT(cap.texts("QELUtilities", "TaVNDeleteNXItem"), ElementsAreArray(wantDelete[k - 1]));
    EXPECT_EQ(1u, cap.count(1, "QELUtilities", "TaVNDeleteNXItem", "caught a critical error!"));
    std::unique_ptr<GxDDO> still(ds_->createDDOFromPid(id));  // not deleted
    EXPECT_TRUE(still->isStored());
  }
}

}  // namespace
