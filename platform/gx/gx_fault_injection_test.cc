// The fault seam: which call fails, what it throws, that it fires once and
// leaves the objects and the server as they were.
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/gx/gx_fault_injection.h"
#include "platform/gx/gx_test_fixture.h"

namespace {

using DsPtr = std::unique_ptr<GxDatastoreDVX>;

TEST(GxExceptionTest, IdsOnlyHasNoTextsNorLocations) {
  GxException e(GX_EXC_NO_SUCH_ITEM);
  EXPECT_EQ(e.exceptionId(), GX_EXC_NO_SUCH_ITEM);
  EXPECT_EQ(e.errorId(), 9u);
  EXPECT_EQ(e.code(), GX_CODE_ERROR);
  EXPECT_EQ(e.textCount(), 0);
  EXPECT_EQ(e.locationCount(), 0);
  EXPECT_STREQ(e.description(), "");
  EXPECT_STREQ(e.what(), "");
  EXPECT_STREQ(e.text(0), "");
  GxException s(GX_EXC_STORAGE, 778UL, GX_CODE_SEVERE);
  EXPECT_EQ(s.errorId(), 778u);
  EXPECT_EQ(s.code(), GX_CODE_SEVERE);
  EXPECT_EQ(s.textCount(), 0);
}

TEST(GxFaultInjectionTest, IteratorNextFailsOnTheNthCallOnly) {
  gxCollection c;
  for (long v = 10; v < 14; ++v) c.addElement(GxAny(v));
  struct Row { long n; GxFaultInjection::Kind kind; short id; };
  const Row rows[] = {
      {1, GxFaultInjection::kGxException, GX_EXC_STORAGE},
      {2, GxFaultInjection::kGxException, GX_EXC_NO_SUCH_ITEM},
      {4, GxFaultInjection::kRuntimeError, 0},
      {5, GxFaultInjection::kGxException, GX_EXC_STORAGE},  // beyond the calls: never fires
  };
  for (const Row& r : rows) {
    SCOPED_TRACE("n=" + std::to_string(r.n));
    GxFaultInjection fault(GxFaultOp::kIteratorNext, r.n, r.kind, r.id);
    std::unique_ptr<gxIterator> it(c.createIterator());
    long read = 0, call = 0;
    while (it->more()) {
      ++call;
      try {
        EXPECT_EQ(it->next().asLong(), 10 + read);
        ++read;
        EXPECT_NE(call, r.n);
      } catch (const GxException& e) {
        EXPECT_EQ(call, r.n);
        EXPECT_EQ(r.kind, GxFaultInjection::kGxException);
        EXPECT_EQ(e.exceptionId(), r.id);
        EXPECT_STREQ(e.text(0), "injected fault: gxIterator::next");
      } catch (const std::runtime_error& e) {
        EXPECT_EQ(call, r.n);
        EXPECT_EQ(r.kind, GxFaultInjection::kRuntimeError);
        EXPECT_STREQ(e.what(), "injected fault: gxIterator::next");
      }
    }
    // The failing call did not advance: every element is still read once.
    EXPECT_EQ(read, 4);
    EXPECT_EQ(fault.fired(), r.n <= 4);
    EXPECT_EQ(fault.calls(), r.n <= 4 ? 5 : 4);
  }
  // Disarmed: no call fails.
  std::unique_ptr<gxIterator> it(c.createIterator());
  while (it->more()) EXPECT_NO_THROW(it->next());
}

TEST_F(GxServerFixture, FaultSeamFailsTheChosenOperation) {
  DsPtr ds(connectAs("alice", "alicepw"));
  std::unique_ptr<GxDDO> stored(ds->createDDO("Doc", 1));
  setText(stored.get(), "Req", "r");
  stored->add();
  const GxString pid = stored->getPidString();

  // Each row: an operation, the call that fails (n), what is thrown; `call`
  // performs the operation once.
  struct Row {
    GxFaultOp op;
    long n;
    GxFaultInjection::Kind kind;
    short id;
    std::function<void()> call;
  };
  const Row rows[] = {
      {GxFaultOp::kListDataSources, 1, GxFaultInjection::kGxException, GX_EXC_SERVERS_FILE,
       [&] { delete ds->listDataSources(); }},
      {GxFaultOp::kListEntities, 2, GxFaultInjection::kRuntimeError, 0,
       [&] { delete ds->listEntities(); }},
      {GxFaultOp::kListGroupsForUser, 1, GxFaultInjection::kGxException, GX_EXC_UNKNOWN_USER,
       [&] {
         GxDatastoreAdminDVX admin(ds.get());
         std::unique_ptr<GxUserMgmtDVX> users(admin.userMgmt());
         delete users->listGroupsForUser("alice");
       }},
      {GxFaultOp::kListMimeTypes, 3, GxFaultInjection::kGxException, GX_EXC_STORAGE,
       [&] {
         GxDatastoreAdminDVX admin(ds.get());
         std::unique_ptr<GxMimeTypeMgmtDVX> mime(admin.mimeTypeMgmt());
         delete mime->listMimeTypes();
       }},
      {GxFaultOp::kQuery, 2, GxFaultInjection::kGxException, GX_EXC_BAD_QUERY,
       [&] { delete static_cast<gxCollection*>(ds->query("/Doc[@Req=\"r\"]", 7, nullptr)); }},
      {GxFaultOp::kCreateDDO, 1, GxFaultInjection::kRuntimeError, 0,
       [&] { delete ds->createDDO("Doc", 1); }},
      {GxFaultOp::kCreateDDOFromPid, 2, GxFaultInjection::kGxException, GX_EXC_NO_SUCH_ITEM,
       [&] { delete ds->createDDOFromPid(pid); }},
      {GxFaultOp::kGetItemId, 3, GxFaultInjection::kGxException, GX_EXC_NOT_STORED,
       [&] { stored->getItemId(); }},
      {GxFaultOp::kRetrieve, 1, GxFaultInjection::kRuntimeError, 0, [&] { stored->retrieve(); }},
      {GxFaultOp::kUpdate, 2, GxFaultInjection::kGxException, GX_EXC_STALE_ITEM,
       [&] { stored->update(); }},
      {GxFaultOp::kCheckOut, 1, GxFaultInjection::kGxException, GX_EXC_CHECKED_OUT,
       [&] { ds->checkOut(stored.get()); }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(gxFaultOpName(r.op) + std::string(" n=") + std::to_string(r.n));
    GxFaultInjection fault(r.op, r.n, r.kind, r.id);
    for (long call = 1; call <= r.n + 1; ++call) {
      if (call != r.n) {
        EXPECT_NO_THROW(r.call()) << "call " << call;
      } else if (r.kind == GxFaultInjection::kGxException) {
        EXPECT_EQ(exceptionIdOf(r.call), r.id);
      } else {
        EXPECT_THROW(r.call(), std::runtime_error);
      }
    }
    EXPECT_TRUE(fault.fired());
    EXPECT_EQ(fault.calls(), r.n + 1);
  }
  ds->checkIn(stored.get());
}

// A fault leaves the server as it was: the failed add stores nothing, the
// failed del deletes nothing, and the same call succeeds afterwards.
TEST_F(GxServerFixture, FaultedWriteChangesNothing) {
  DsPtr ds(connectAs("alice", "alicepw"));
  std::unique_ptr<GxDDO> d(ds->createDDO("Doc", 1));
  setText(d.get(), "Req", "x");
  {
    GxFaultInjection fault(GxFaultOp::kAdd, 1);
    EXPECT_EQ(exceptionIdOf([&] { d->add(); }), GX_EXC_STORAGE);
    EXPECT_FALSE(d->isStored());
    EXPECT_EQ(countOf(ds.get(), "/Doc[@Req=\"x\"]"), 0);
    d->add();
  }
  EXPECT_EQ(countOf(ds.get(), "/Doc[@Req=\"x\"]"), 1);
  {
    GxFaultInjection fault(GxFaultOp::kDel, 1, GxFaultInjection::kRuntimeError);
    EXPECT_THROW(d->del(), std::runtime_error);
    EXPECT_EQ(countOf(ds.get(), "/Doc[@Req=\"x\"]"), 1);
  }
  d->del();
  EXPECT_EQ(countOf(ds.get(), "/Doc[@Req=\"x\"]"), 0);
}

// kAny counts every operation in call order, across kinds of object.
TEST_F(GxServerFixture, FaultSeamAnyCountsEveryOperation) {
  DsPtr ds(connectAs("alice", "alicepw"));
  // createDDO, setData, add, getItemId: four counted calls.
  auto run = [&] {
    std::unique_ptr<GxDDO> d(ds->createDDO("Doc", 1));
    setText(d.get(), "Req", "any");
    d->add();
    return d->getItemId();
  };
  long stored = 0;
  for (long n = 1;; ++n) {
    SCOPED_TRACE("n=" + std::to_string(n));
    GxFaultInjection fault(GxFaultOp::kAny, n);
    short id = exceptionIdOf(run);
    if (!fault.fired()) {
      EXPECT_EQ(id, 0);
      EXPECT_EQ(n, 5);
      EXPECT_EQ(fault.calls(), 4);
      ++stored;
      break;
    }
    EXPECT_EQ(id, GX_EXC_STORAGE);
    if (n == 4) ++stored;  // getItemId failed after add succeeded
  }
  EXPECT_EQ(countOf(ds.get(), "/Doc[@Req=\"any\"]"), stored);
}

}  // namespace
