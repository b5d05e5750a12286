// Record attribute names, declared state, record-id lists on items, the
// search by record id, the installation path.
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QELUtilities.h"
#include "TaVNtraceCapture.h"
#include "caches.h"
#include "debug_output.h"
#include "gx_test_server.h"
#include "platform/gx/gx_fault_injection.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

GxAttrSpecDVX text(const std::string& name, long len = 254) {
  GxAttrSpecDVX a;
  a.name = name;
  a.maxLength = len;
  return a;
}

class RecordAttributesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    attrPairCache().Reset();  // the cache outlives each test's server
    ds_ = server_.connectAdmin();
  }
  void TearDown() override { attrPairCache().Reset(); }

  void define(const std::string& name, const std::vector<std::string>& attrs) {
    GxItemTypeSpecDVX spec;
    spec.name = name;
    spec.classification = 2;
    for (const auto& a : attrs) spec.attributes.push_back(text(a, 4000));
    server_.admin().defineItemType(spec);
  }
  std::unique_ptr<GxDDO> newItem(const char* type) {
    return std::unique_ptr<GxDDO>(ds_->createDDO(GxString(type), 1));
  }
  static std::string attr(GxDDO* item, const char* name) {
    GxAny v = item->getData(item->dataId(GxString(name)));
    return v.isNull() ? "<null>" : v.asString().str();
  }
  static void set(GxDDO* item, const char* name, const char* value) {
    item->setData(item->dataId(GxString(name)), value ? GxAny(value) : GxAny());
  }

  GxTestServer server_;
  std::unique_ptr<GxDatastoreDVX> ds_;
};

const char kDup[] = "ERROR [GetTaVNattrByDDO]: Duplicated or mismatched TaVN attribute.";

TEST_F(RecordAttributesTest, AttributeNameRules) {
  struct Row {
    const char* type;
    std::vector<std::string> attrs;
    int rc;
    const char* rec;
    const char* recId;
    std::string message;  // "" = none
  };
  const Row rows[] = {
      {"Plain", {"Title", "eRecord", "eRecordID"}, 0, "eRecord", "eRecordID", ""},
      {"Pref", {"Doc.eRecord", "Title", "Doc.eRecordID"}, 0, "Doc.eRecord", "Doc.eRecordID", ""},
      {"OnlyRec", {"eRecord"}, -1, nullptr, nullptr, "ERROR [GetTaVNattrByDDO]: Un-matched TaVN attribute.\n"},
      {"OnlyPrefId", {"Doc.eRecordID"}, -1, nullptr, nullptr, "ERROR [GetTaVNattrByDDO]: Un-matched TaVN attribute.\n"},
      {"Neither", {"Title"}, -3, nullptr, nullptr, ""},
      {"MisPref", {"Doc.eRecord", "Mail.eRecordID"}, -1, nullptr, nullptr, "ERROR [GetTaVNattrByDDO]: Mis-matched TaVN attribute.\n"},
      {"PrefBeforePlain", {"Doc.eRecord", "eRecord", "eRecordID"}, -1, nullptr, nullptr, std::string(kDup) + "(1)\n"},
      {"PrefIdBeforePlainId", {"Doc.eRecordID", "eRecordID"}, -1, nullptr, nullptr, std::string(kDup) + "(2)\n"},
      {"PlainBeforePref", {"eRecord", "eRecordID", "Doc.eRecord"}, -1, nullptr, nullptr, std::string(kDup) + "(3)\n"},
      {"TwoPref", {"A.eRecord", "B.eRecord"}, -1, nullptr, nullptr, std::string(kDup) + "(3)\n"},
      {"PlainBeforePrefId", {"eRecordID", "Doc.eRecordID"}, -1, nullptr, nullptr, std::string(kDup) + "(4)\n"},
      {"NotAtEnd", {"X.eRecordY.eRecord", "eRecordIDs"}, -3, nullptr, nullptr, ""},
  };
  for (const Row& r : rows) {
    define(r.type, r.attrs);
    auto item = newItem(r.type);
    DebugOutputCapture cap;
    GxString rec("x"), recId("x");
    EXPECT_EQ(r.rc, GetTaVNattrNamesByDDO(item.get(), rec, recId)) << r.type;
    if (r.rc == 0) {
      EXPECT_EQ(r.rec, rec.str()) << r.type;
      EXPECT_EQ(r.recId, recId.str()) << r.type;
    }
    if (r.message.empty())
      EXPECT_THAT(cap.texts(), IsEmpty()) << r.type;
    else
      EXPECT_THAT(cap.texts(), ElementsAre(r.message)) << r.type;
    EXPECT_EQ(r.rc, IsDeclarableDDO(item.get())) << r.type;
    EXPECT_EQ(r.rc, IsDeclarableItemType(ds_.get(), r.type)) << r.type;
  }
}

TEST_F(RecordAttributesTest, SecondLookUpAnswersFromCache) {
  auto item = newItem("QELMail");
  GxString rec, recId;
  {
    DebugOutputCapture cap;
    ASSERT_EQ(0, GetTaVNattrNamesByDDO(item.get(), rec, recId));
    EXPECT_THAT(cap.texts(), IsEmpty());
  }
  DebugOutputCapture cap;
  GxString rec2, recId2;
  ASSERT_EQ(0, GetTaVNattrNamesByDDO(item.get(), rec2, recId2));
  EXPECT_EQ("Mail.eRecord", rec2.str());
  EXPECT_EQ("Mail.eRecordID", recId2.str());
  ASSERT_EQ(0, GetTaVNattrNamesByItemType(ds_.get(), "QELMail", rec2, recId2));
  EXPECT_THAT(cap.texts(), ElementsAre("INFO [GetTaVNattrByDDO]: got cached copy\n",
                                       "INFO [GetTaVNattrByItemType]: got cached copy\n"));
  // Failed look-ups are not cached.
  define("OnlyRec", {"eRecord"});
  for (int i = 0; i < 2; ++i) {
    DebugOutputCapture again;
    EXPECT_EQ(-1, GetTaVNattrNamesByItemType(ds_.get(), "OnlyRec", rec, recId));
    EXPECT_THAT(again.texts(), ElementsAre("ERROR [GetTaVNattrByDDO]: Un-matched TaVN attribute.\n"));
  }
}

TEST_F(RecordAttributesTest, NullsAndUnknownItemType) {
  GxString rec, recId;
  EXPECT_EQ(-1, GetTaVNattrNamesByDDO(nullptr, rec, recId));
  EXPECT_EQ(-1, GetTaVNattrNamesByItemType(nullptr, "QELDocument", rec, recId));
  EXPECT_EQ(-1, IsDeclarableDDO(nullptr));
  EXPECT_EQ(-1, IsDeclarableItemType(nullptr, "QELDocument"));
  EXPECT_EQ(-1, IsDeclaredDDO(nullptr));
  TraceCapture cap;
  EXPECT_EQ(-1, IsDeclarableItemType(ds_.get(), "NoSuchType"));
  EXPECT_EQ(1u, cap.count(1, "QEL", "...", "Caught GxException!"));
  GxDDO unbound;
  EXPECT_EQ(-1, GetTaVNattrNamesByDDO(&unbound, rec, recId));
}

TEST_F(RecordAttributesTest, IsDeclaredComparesExactly) {
  struct Row { const char* type; const char* recAttr; const char* value; int rc; };
  const Row rows[] = {
      {"QELDocument", "eRecord", "yes", 0},
      {"QELDocument", "eRecord", "Yes", -3},
      {"QELDocument", "eRecord", "no", -3},
      {"QELDocument", "eRecord", nullptr, -3},
      {"QELMail", "Mail.eRecord", "yes", 0},
  };
  for (const Row& r : rows) {
    auto item = newItem(r.type);
    set(item.get(), r.recAttr, r.value);
    EXPECT_EQ(r.rc, IsDeclaredDDO(item.get())) << r.type << " " << (r.value ? r.value : "null");
  }
  define("Neither", {"Title"});
  auto item = newItem("Neither");
  EXPECT_EQ(-3, IsDeclaredDDO(item.get()));
}

// A sequence of changes to one item's list, each row after the previous one.
TEST_F(RecordAttributesTest, AddAndRemoveSequences) {
  struct Step { char op; long id; int rc; const char* list; const char* rec; };
  const Step steps[] = {
      {'+', 7, 0, "1::7:", "yes"},
      {'+', 9, 0, "2::7:9:", "yes"},
      {'+', 7, 0, "3::7:9:7:", "yes"},
      {'-', 9, 0, "2::7:7:", "yes"},
      {'-', 7, 0, "1::7:", "yes"},
      {'-', 5, -1, "1::7:", "yes"},
      {'-', 7, 0, "<null>", "no"},
      {'-', 7, -1, "<null>", "no"},
      {'+', -3, 0, "1::-3:", "yes"},
      {'+', 2147483647L, 0, "2::-3:2147483647:", "yes"},
      {'-', 11, -1, "2::-3:2147483647:", "yes"},
      {'-', -3, 0, "1::2147483647:", "yes"},
  };
  for (const char* type : {"QELDocument", "QELMail"}) {
    const bool mail = std::string(type) == "QELMail";
    const char* rec = mail ? "Mail.eRecord" : "eRecord";
    const char* recId = mail ? "Mail.eRecordID" : "eRecordID";
    auto item = newItem(type);
    int n = 0;
    for (const Step& s : steps) {
      const int rc = s.op == '+' ? AddRecordID(item.get(), s.id) : RemoveRecordID(item.get(), s.id);
      EXPECT_EQ(s.rc, rc) << type << " step " << n;
      EXPECT_EQ(s.list, attr(item.get(), recId)) << type << " step " << n;
      EXPECT_EQ(s.rec, attr(item.get(), rec)) << type << " step " << n;
      ++n;
    }
  }
}

TEST_F(RecordAttributesTest, UnreadableListMarksItemNotDeclared) {
  for (char op : {'+', '-'}) {
    auto item = newItem("QELDocument");
    set(item.get(), "eRecord", "yes");
    set(item.get(), "eRecordID", "garbage");
    EXPECT_EQ(-1, op == '+' ? AddRecordID(item.get(), 4) : RemoveRecordID(item.get(), 4)) << op;
    EXPECT_EQ("no", attr(item.get(), "eRecord")) << op;
    EXPECT_EQ("<null>", attr(item.get(), "eRecordID")) << op;
  }
  // "0::" is not a list either.
  auto item = newItem("QELDocument");
  set(item.get(), "eRecordID", "0::");
  EXPECT_EQ(-1, RemoveRecordID(item.get(), 4));
  EXPECT_EQ("no", attr(item.get(), "eRecord"));
}

TEST_F(RecordAttributesTest, RecordIdFunctionsOnUndeclarableItems) {
  define("Neither", {"Title"});
  auto item = newItem("Neither");
  int count = 5;
  long* ids = nullptr;
  EXPECT_EQ(-1, GetRecordID(item.get(), count, ids));
  EXPECT_EQ(-1, AddRecordID(item.get(), 1));
  EXPECT_EQ(-1, RemoveRecordID(item.get(), 1));
  EXPECT_EQ(-1, MarkDDOnotDeclared(item.get()));
  EXPECT_EQ(-1, GetRecordID(nullptr, count, ids));
  EXPECT_EQ(-1, AddRecordID(nullptr, 1));
  EXPECT_EQ(-1, RemoveRecordID(nullptr, 1));
  EXPECT_EQ(-1, MarkDDOnotDeclared(nullptr));
}

TEST_F(RecordAttributesTest, GetRecordIdReadsTheList) {
  auto item = newItem("QELDocument");
  int count = 0;
  long* ids = nullptr;
  EXPECT_EQ(-1, GetRecordID(item.get(), count, ids));  // no value
  AddRecordID(item.get(), 10);
  AddRecordID(item.get(), 20);
  ASSERT_EQ(0, GetRecordID(item.get(), count, ids));
  EXPECT_THAT(std::vector<long>(ids, ids + count), ElementsAre(10, 20));
  delete[] ids;
  set(item.get(), "eRecordID", "1::oops:");
  ids = nullptr;
  EXPECT_EQ(-1, GetRecordID(item.get(), count, ids));
  EXPECT_EQ(0, count);
  EXPECT_EQ(nullptr, ids);
}

TEST_F(RecordAttributesTest, MarkNotDeclared) {
  auto item = newItem("QELMail");
  AddRecordID(item.get(), 3);
  EXPECT_EQ(0, MarkDDOnotDeclared(item.get()));
  EXPECT_EQ("no", attr(item.get(), "Mail.eRecord"));
  EXPECT_EQ("<null>", attr(item.get(), "Mail.eRecordID"));
}

TEST_F(RecordAttributesTest, ItemIdsByRecordIdThroughRealQueries) {
  define("Plain", {"Title", "eRecord", "eRecordID"});
  auto store = [&](const char* type, const char* idAttr, const char* list) {
    auto item = newItem(type);
    set(item.get(), idAttr, list);
    item->add();
    return item->getItemId().str();
  };
  const std::string d1 = store("QELDocument", "eRecordID", "2::42:7:");
  const std::string d2 = store("QELDocument", "eRecordID", "1::42:");
  store("QELDocument", "eRecordID", "1::420:");
  store("QELDocument", "eRecordID", "1::142:");
  store("QELMail", "Mail.eRecordID", "1::42:");  // prefixed: not searched
  const std::string p1 = store("Plain", "eRecordID", "3::1:2:42:");

  struct Row { long id; const char* type; int rc; std::vector<std::string> ids; };
  const Row rows[] = {
      {42, "QELDocument", 0, {d1, d2}},
      {42, "***", 0, {d1, d2, p1}},
      {7, "***", 0, {d1}},
      {2, "Plain", 0, {p1}},
      {5, "***", -1, {}},
      {4, "QELDocument", -1, {}},
  };
  for (const Row& r : rows) {
    int count = 99;
    GxString* ids = reinterpret_cast<GxString*>(0x1);
    EXPECT_EQ(r.rc, GetItemId4eId(ds_.get(), r.id, GxString(r.type), count, ids)) << r.id << r.type;
    EXPECT_EQ(static_cast<int>(r.ids.size()), count) << r.id << r.type;
    std::vector<std::string> got;
    for (int i = 0; i < count; ++i) got.push_back(ids[i].str());
    EXPECT_THAT(got, ElementsAreArray(r.ids)) << r.id << r.type;
    if (r.rc != 0) {
      EXPECT_EQ(nullptr, ids);
    }
    delete[] (count > 0 ? ids : nullptr);
  }
}

TEST_F(RecordAttributesTest, ItemIdsByRecordIdFailures) {
  int count = 3;
  GxString* ids = reinterpret_cast<GxString*>(0x1);
  EXPECT_EQ(-1, GetItemId4eId(nullptr, 1, GxString("***"), count, ids));
  EXPECT_EQ(0, count);
  EXPECT_EQ(nullptr, ids);
  // The query always names the plain "eRecordID": an item type without it
  // is a connector failure.
  TraceCapture cap;
  count = 3;
  EXPECT_EQ(-1, GetItemId4eId(ds_.get(), 1, GxString("QELMail"), count, ids));
  EXPECT_EQ(0, count);
  EXPECT_EQ(nullptr, ids);
  EXPECT_EQ(1u, cap.count(1, "QEL", "...", "Caught GxException!"));
}

TEST(GetTaVNpath, FromQELROOT) {
  const char* old = std::getenv("QELROOT");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  struct Row { const char* value; int rc; const char* path; };
  const Row rows[] = {
      {"/opt/qel", 0, "/opt/qel/"},
      {"/opt/qel/", 0, "/opt/qel/"},
      {"ab", 0, "ab/"},
      {"x", -1, "/"},
      {"", -1, "/"},
      {nullptr, -1, "/"},
  };
  for (const Row& r : rows) {
    if (r.value)
      setenv("QELROOT", r.value, 1);
    else
      unsetenv("QELROOT");
    GxString path("stale");
    EXPECT_EQ(r.rc, GetTaVNpath(path)) << (r.value ? r.value : "unset");
    EXPECT_EQ(r.path, path.str()) << (r.value ? r.value : "unset");
  }
  if (saved)
    setenv("QELROOT", saved->c_str(), 1);
  else
    unsetenv("QELROOT");
}

// Every counted connector call of a search with three results is made to
// fail in turn: the query, and each iterator step and item-id read after the
// id array was handed out. Each gives -1, count 0 and a null output, with one
// anonymous dump; the sanitizer build checks that the released array, the
// results and the iterator do not leak.
TEST_F(RecordAttributesTest, FailureAfterItemIdArrayHandedOut) {
  std::vector<std::string> want;
  for (const char* list : {"1::42:", "2::7:42:", "1::42:"}) {
    auto item = newItem("QELDocument");
    set(item.get(), "eRecordID", list);
    item->add();
    want.push_back(item->getItemId().str());
  }
  long n = 1;
  for (;; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    int count = 99;
    GxString* ids = reinterpret_cast<GxString*>(0x1);
    TraceCapture cap;
    DebugOutputCapture dbg;
    int rc;
    bool fired;
    {
      GxFaultInjection fault(GxFaultOp::kAny, n, GxFaultInjection::kGxException,
                             GX_EXC_NO_SUCH_ITEM);
      rc = GetItemId4eId(ds_.get(), 42, GxString("QELDocument"), count, ids);
      fired = fault.fired();
    }
    EXPECT_THAT(dbg.texts(), IsEmpty());
    if (!fired) {
      ASSERT_EQ(0, rc);
      ASSERT_EQ(3, count);
      EXPECT_EQ(want, (std::vector<std::string>{ids[0].str(), ids[1].str(), ids[2].str()}));
      EXPECT_EQ(0u, cap.size()) << cap.dump();
      delete[] ids;
      break;
    }
    EXPECT_EQ(-1, rc);
    EXPECT_EQ(0, count);
    EXPECT_EQ(nullptr, ids);
    // Calls: 1 query, then per result a step (even) and an item-id read (odd).
    const char* op = n == 1 ? "GxDatastoreDVX::query"
                     : n % 2 == 0 ? "gxIterator::next"
                                  : "GxDDO::getItemId";
    const std::string rule(46, '-');
    auto L = [](const std::string& t) { return TraceLine{1, "QEL", "...", t}; };
    EXPECT_THAT(cap.lines(),
                ElementsAre(L(rule), L("Caught GxException!"), L("      Error ID: 9"),
                            L("  Exception ID: 9"),
                            L(std::string("    Error Text: injected fault: ") + op), L(rule)));
  }
  EXPECT_EQ(8, n);  // the query and 3 x (step, item id) were each made to fail
}

}  // namespace
