// GxAny, GxNVPair, GxException and the ownership rules of gxCollection.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/gx/gxbase.h"

namespace {

// An element that counts live instances, to see who deletes what.
struct Counted : gxDataObjectBase {
  static int live;
  Counted() { ++live; }
  ~Counted() override { --live; }
};
int Counted::live = 0;

TEST(GxAnyTest, HoldsTextIntegerPointersOrNull) {
  GxAny n;
  EXPECT_TRUE(n.isNull());
  EXPECT_EQ(n.asString(), "");
  EXPECT_EQ(n.asLong(), 0);
  EXPECT_EQ(n.value(), nullptr);

  GxAny s(GxString("12"));
  EXPECT_FALSE(s.isNull());
  EXPECT_EQ(static_cast<GxString>(s), "12");
  EXPECT_EQ(static_cast<long>(s), 12);

  GxAny i(2050L);
  EXPECT_EQ(i.asString(), "2050");
  GxString viaCtor(i);  // must stay unambiguous for callers
  EXPECT_EQ(viaCtor, "2050");

  gxCollection c;
  GxAny pc(&c);
  EXPECT_EQ(static_cast<gxCollection*>(pc), &c);
  EXPECT_EQ(pc.value(), &c);

  Counted o;
  GxAny po(static_cast<gxDataObjectBase*>(&o));
  EXPECT_EQ(static_cast<gxDataObjectBase*>(po.value()), &o);
  EXPECT_TRUE(GxAny(static_cast<gxCollection*>(nullptr)).isNull());
  EXPECT_TRUE(GxAny(static_cast<const char*>(nullptr)).isNull());
}

TEST(GxAnyTest, WrongKindConversionsThrow) {
  gxCollection c;
  GxAny pc(&c);
  EXPECT_THROW(pc.asString(), GxException);
  EXPECT_THROW(pc.asLong(), GxException);
  EXPECT_THROW(GxAny("x").asCollection(), GxException);
  try {
    GxAny(5).asObject();
    FAIL() << "no exception";
  } catch (const GxException& e) {
    EXPECT_EQ(e.exceptionId(), GX_EXC_BAD_VALUE);
  }
}

TEST(GxAnyTest, CopiesTextDeeplyAndPrints) {
  GxAny a("one");
  GxAny b = a;
  a = GxAny(3);
  EXPECT_EQ(b.asString(), "one");
  b = b;
  EXPECT_EQ(b.asString(), "one");
  std::ostringstream os;
  os << a << "," << b << "," << GxAny();
  EXPECT_EQ(os.str(), "3,one,(null)");
}

TEST(GxNVPairTest, QueryOptionArray) {
  GxNVPair opts[3];
  opts[0].setName("MAX_RESULTS");
  opts[0].setValue(GxAny("0"));
  opts[1].setName("RETRIEVE_OPTION");
  opts[1].setValue(GxAny(2050));
  opts[2].setName("End");
  EXPECT_EQ(opts[0].getName(), "MAX_RESULTS");
  EXPECT_EQ(opts[1].getValue().asLong(), 2050);
  EXPECT_TRUE(opts[2].getValue().isNull());
}

TEST(GxExceptionTest, CarriesIdsTextsAndLocations) {
  try {
    GxException e(GX_EXC_LOGON_REFUSED, "refused");
    e.addText("detail").addLocation("a.cc", "fn", 12);
    throw e;
  } catch (const GxExceptionBase& base) {
    EXPECT_EQ(base.exceptionId(), 11);
    EXPECT_STREQ(base.description(), "refused");
    EXPECT_EQ(base.code(), GX_CODE_ERROR);
    EXPECT_STREQ(base.what(), "refused");
    const GxException& e = dynamic_cast<const GxException&>(base);
    EXPECT_EQ(e.errorId(), 11u);
    ASSERT_EQ(e.textCount(), 2);
    EXPECT_STREQ(e.text(1), "detail");
    EXPECT_STREQ(e.text(2), "");
    EXPECT_STREQ(e.text(-1), "");
    ASSERT_EQ(e.locationCount(), 1);
    EXPECT_STREQ(e.locationAtIndex(0).fileName(), "a.cc");
    EXPECT_STREQ(e.locationAtIndex(0).functionName(), "fn");
    EXPECT_EQ(e.locationAtIndex(0).lineNumber(), 12);
    EXPECT_STREQ(e.locationAtIndex(1).fileName(), "");
  }
  GxException s(GX_EXC_STORAGE, "disk", 5, GX_CODE_SEVERE);
  EXPECT_EQ(s.errorId(), 5u);
  EXPECT_EQ(s.code(), GX_CODE_SEVERE);
}

TEST(GxCollectionTest, OwnsObjectsAndDeletesTheRest) {
  Counted::live = 0;
  auto* c = new gxCollection;
  c->addElement(GxAny(static_cast<gxDataObjectBase*>(new Counted)));
  c->addElement(GxAny("text"));
  c->addElement(GxAny(static_cast<gxDataObjectBase*>(new Counted)));
  EXPECT_EQ(Counted::live, 2);
  EXPECT_EQ(c->count(), 3);
  delete c;
  EXPECT_EQ(Counted::live, 0);
}

TEST(GxCollectionTest, CallerMayDeleteElementsWhileIterating) {
  // Listing callers delete each element after reading it, then the collection.
  Counted::live = 0;
  auto* c = new gxCollection;
  for (int i = 0; i < 3; ++i) c->addElement(GxAny(static_cast<gxDataObjectBase*>(new Counted)));
  gxIterator* it = c->createIterator();
  int seen = 0;
  while (it->more()) {
    GxAny v = it->next();
    delete static_cast<gxDataObjectBase*>(v.value());
    ++seen;
  }
  EXPECT_EQ(seen, 3);
  EXPECT_EQ(Counted::live, 0);
  EXPECT_EQ(c->count(), 3);
  EXPECT_TRUE(c->elementAt(1).isNull());
  EXPECT_THROW(it->next(), GxException);
  delete it;
  delete c;  // must not delete the elements again
  EXPECT_EQ(Counted::live, 0);
}

TEST(GxCollectionTest, AnObjectBelongsToOneCollection) {
  Counted::live = 0;
  gxCollection a, b;
  auto* o = new Counted;
  a.addElement(GxAny(static_cast<gxDataObjectBase*>(o)));
  EXPECT_THROW(b.addElement(GxAny(static_cast<gxDataObjectBase*>(o))), GxException);
  EXPECT_THROW(a.addElement(GxAny(static_cast<gxDataObjectBase*>(o))), GxException);
  EXPECT_EQ(b.count(), 0);
  EXPECT_EQ(a.count(), 1);
  gxDataObjectBase* taken = a.detach(0);
  EXPECT_EQ(taken, o);
  EXPECT_TRUE(a.elementAt(0).isNull());
  b.addElement(GxAny(taken));
  EXPECT_EQ(o->owner(), &b);
  b.removeAll();
  EXPECT_EQ(Counted::live, 0);
  EXPECT_THROW(a.elementAt(5), GxException);
}

TEST(GxEnvironmentTest, SubSystemAndLogInserts) {
  GxEnvironment::setSubSystem(1);
  EXPECT_EQ(GxEnvironment::getSubSystem(), 1);
  long before = GxLogMessageInserts::liveCount();
  {
    GxLogMessageInserts a, b;
    EXPECT_EQ(GxLogMessageInserts::liveCount(), before + 2);
  }
  EXPECT_EQ(GxLogMessageInserts::liveCount(), before);
}

}  // namespace
