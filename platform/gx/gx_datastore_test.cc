// The datastore against a temporary server: logon, definitions, items,
// parts, queries, check-out, transactions, bad input, two processes.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/gx/gx_test_fixture.h"

namespace {

using DsPtr = std::unique_ptr<GxDatastoreDVX>;

// ---- logon ------------------------------------------------------------------

TEST_F(GxServerFixture, ConnectReportsServerAndUser) {
  GxDatastoreDVX ds;
  EXPECT_FALSE(ds.isConnected());
  ds.connect("testsrv", "ALICE", "alicepw", "");
  EXPECT_TRUE(ds.isConnected());
  EXPECT_EQ(ds.getDatastoreName(), "TESTSRV");  // as the servers file spells it
  EXPECT_EQ(ds.getUserId(), "alice");
  EXPECT_EQ(exceptionIdOf([&] { ds.connect("TESTSRV", "alice", "alicepw", ""); }), GX_EXC_ALREADY_CONNECTED);
  ds.disconnect();
  EXPECT_EQ(exceptionIdOf([&] { ds.getUserId(); }), GX_EXC_NOT_CONNECTED);
  EXPECT_EQ(exceptionIdOf([&] { ds.disconnect(); }), GX_EXC_NOT_CONNECTED);
  EXPECT_EQ(exceptionIdOf([&] { ds.createDDO("Doc", 1); }), GX_EXC_NOT_CONNECTED);
}

TEST_F(GxServerFixture, RefusedLogonsCarryTheirIds) {
  struct Case {
    const char* server;
    const char* user;
    const char* password;
    short id;
  } cases[] = {
      {"TESTSRV", "alice", "wrong", GX_EXC_LOGON_REFUSED},
      {"TESTSRV", "alice", "", GX_EXC_LOGON_REFUSED},
      {"TESTSRV", "nobody", "alicepw", GX_EXC_LOGON_REFUSED},
      {"TESTSRV", "alice", "ALICEPW", GX_EXC_LOGON_REFUSED},
      {"NOSUCH", "alice", "alicepw", GX_EXC_UNKNOWN_SERVER},
      {"", "alice", "alicepw", GX_EXC_UNKNOWN_SERVER},
  };
  for (const Case& c : cases) {
    GxDatastoreDVX ds;
    EXPECT_EQ(exceptionIdOf([&] { ds.connect(c.server, c.user, c.password, ""); }), c.id)
        << c.server << "/" << c.user << "/" << c.password;
    EXPECT_FALSE(ds.isConnected());
  }
}

TEST_F(GxServerFixture, StoreFileIsPrivateAndHoldsNoClearPassword) {
  struct stat st;
  ASSERT_EQ(stat((dir_ + "/test.db").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  std::ifstream in(dir_ + "/test.db", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.find("alicepw"), std::string::npos);
}

TEST_F(GxServerFixture, MissingServerFileAndMalformedServersFile) {
  std::ofstream(servers_, std::ios::app) << "GONE = gone.db\n";
  GxDatastoreDVX ds;
  EXPECT_EQ(exceptionIdOf([&] { ds.connect("GONE", "alice", "alicepw", ""); }), GX_EXC_SERVERS_FILE);
  std::ofstream(servers_, std::ios::app) << "this line is wrong\n";
  EXPECT_EQ(exceptionIdOf([&] { ds.connect("TESTSRV", "alice", "alicepw", ""); }), GX_EXC_SERVERS_FILE);
}

TEST_F(GxServerFixture, ListDataSourcesWorksUnconnected) {
  GxStoreAdminDVX::createServer(servers_, "SECOND", dir_ + "/second.db");
  GxDatastoreDVX ds;
  gxCollection* c = ds.listDataSources();
  ASSERT_EQ(c->count(), 2);
  gxIterator* it = c->createIterator();
  std::vector<std::string> names;
  while (it->more()) {
    GxAny v = it->next();
    auto* def = static_cast<GxServerDefDVX*>(static_cast<gxDataObjectBase*>(v.value()));
    names.push_back(def->getName().str());
    delete def;  // as the callers do
  }
  delete it;
  delete c;
  EXPECT_EQ(names, (std::vector<std::string>{"TESTSRV", "SECOND"}));
  setenv("GXSERVERS", (dir_ + "/none.conf").c_str(), 1);
  c = ds.listDataSources();
  EXPECT_EQ(c->count(), 0);
  delete c;
}

// ---- definitions and administration -------------------------------------------------

TEST_F(GxServerFixture, ListEntitiesGivesNamesAndClassifications) {
  DsPtr ds(connectAs("alice", "alicepw"));
  gxCollection* c = ds->listEntities();
  std::map<std::string, short> seen;
  for (long i = 0; i < c->count(); ++i) {
    auto* def = static_cast<gxEntityDef*>(static_cast<gxDataObjectBase*>(c->elementAt(i).value()));
    auto* it = dynamic_cast<GxItemTypeDefDVX*>(def);
    ASSERT_NE(it, nullptr);
    seen[def->getName().str()] = it->getClassification();
  }
  delete c;
  EXPECT_EQ(seen, (std::map<std::string, short>{{"Doc", 2}, {"QELDocument", 2}, {"QELMail", 2}, {"QELconfig", 1}}));
}

TEST_F(GxServerFixture, GroupsForUserAndMimeTypes) {
  DsPtr ds(connectAs("bob", "bobpw"));
  GxDatastoreAdminDVX admin(ds.get());
  std::unique_ptr<GxUserMgmtDVX> users(admin.userMgmt());
  auto names = [](gxCollection* c) {
    std::vector<std::string> out;
    for (long i = 0; i < c->count(); ++i)
      out.push_back(static_cast<gxEntityDef*>(static_cast<gxDataObjectBase*>(c->elementAt(i).value()))->getName().str());
    delete c;
    return out;
  };
  EXPECT_EQ(names(users->listGroupsForUser("Alice")), (std::vector<std::string>{"auditors", "staff"}));
  EXPECT_TRUE(names(users->listGroupsForUser("bob")).empty());
  EXPECT_EQ(exceptionIdOf([&] { delete users->listGroupsForUser("nobody"); }), GX_EXC_UNKNOWN_USER);

  std::unique_ptr<GxMimeTypeMgmtDVX> mimes(admin.mimeTypeMgmt());
  gxCollection* c = mimes->listMimeTypes();
  ASSERT_GT(c->count(), 5);
  auto* first = static_cast<GxMimeTypeDefDVX*>(static_cast<gxDataObjectBase*>(c->elementAt(0).value()));
  EXPECT_EQ(first->getMimeType(), "text/plain");
  EXPECT_EQ(first->getSuffixes().indexOf("txt", 0), 1);
  bool pdf = false;
  for (long i = 0; i < c->count(); ++i) {
    auto* m = static_cast<GxMimeTypeDefDVX*>(static_cast<gxDataObjectBase*>(c->elementAt(i).value()));
    if (m->getSuffixes() == "pdf") pdf = m->getMimeType() == "application/pdf";
  }
  EXPECT_TRUE(pdf);
  // The first definition whose suffix list contains the suffix as a
  // substring is what callers pick: each suffix must find its own type.
  auto firstFor = [&](const char* suffix) {
    for (long i = 0; i < c->count(); ++i) {
      auto* m = static_cast<GxMimeTypeDefDVX*>(static_cast<gxDataObjectBase*>(c->elementAt(i).value()));
      if (m->getSuffixes().indexOf(suffix, 0) > 0) return m->getMimeType().str();
    }
    return std::string();
  };
  EXPECT_EQ(firstFor("doc"), "application/msword");
  EXPECT_EQ(firstFor("docx"), "application/vnd.openxmlformats-officedocument.wordprocessingml.document");
  EXPECT_EQ(firstFor("xls"), "application/vnd.ms-excel");
  EXPECT_EQ(firstFor("ppt"), "application/vnd.ms-powerpoint");
  EXPECT_EQ(firstFor("msg"), "application/vnd.ms-outlook");
  EXPECT_EQ(firstFor("htm"), "text/html");
  delete c;
}

TEST_F(GxServerFixture, AdminRejectsDuplicatesAndBadDefinitionsWithoutChanges) {
  GxStoreAdminDVX admin(servers_, "TESTSRV");
  EXPECT_EQ(exceptionIdOf([&] { admin.addUser("ALICE", "x"); }), GX_EXC_DUPLICATE);
  EXPECT_EQ(exceptionIdOf([&] { admin.addGroup("staff"); }), GX_EXC_DUPLICATE);
  EXPECT_EQ(exceptionIdOf([&] { admin.addMember("nogroup", "alice"); }), GX_EXC_UNKNOWN_USER);
  EXPECT_EQ(exceptionIdOf([&] { admin.addMember("staff", "nobody"); }), GX_EXC_UNKNOWN_USER);
  EXPECT_EQ(exceptionIdOf([&] { admin.addUser("bad name", "x"); }), GX_EXC_BAD_ARGUMENT);
  EXPECT_EQ(exceptionIdOf([&] { admin.addMimeType("text/plain", "txt"); }), GX_EXC_DUPLICATE);
  EXPECT_EQ(exceptionIdOf([&] { admin.setPassword("nobody", "x"); }), GX_EXC_UNKNOWN_USER);

  GxItemTypeSpecDVX dup;
  dup.name = "Twice";
  GxAttrSpecDVX a;
  a.name = "A";
  dup.attributes = {a, a};
  EXPECT_EQ(exceptionIdOf([&] { admin.defineItemType(dup); }), GX_EXC_DUPLICATE);
  GxItemTypeSpecDVX badLen;
  badLen.name = "BadLen";
  a.maxLength = 0;
  badLen.attributes = {a};
  EXPECT_EQ(exceptionIdOf([&] { admin.defineItemType(badLen); }), GX_EXC_BAD_VALUE);
  GxItemTypeSpecDVX existing;
  existing.name = "Doc";
  EXPECT_EQ(exceptionIdOf([&] { admin.defineItemType(existing); }), GX_EXC_DUPLICATE);
  // Nothing of the failed definitions is there.
  for (const std::string& line : admin.listItemTypes()) {
    EXPECT_EQ(line.find("Twice"), std::string::npos);
    EXPECT_EQ(line.find("BadLen"), std::string::npos);
  }
  // init-qel can run again and resets the qeladmin password.
  admin.initQel("newpw");
  DsPtr ds(connectAs("qeladmin", "newpw"));
  GxDatastoreDVX old;
  EXPECT_EQ(exceptionIdOf([&] { old.connect("TESTSRV", "qeladmin", "qelpw", ""); }), GX_EXC_LOGON_REFUSED);
  admin.setPassword("bob", "bob2");
  DsPtr bob(connectAs("bob", "bob2"));
}

// ---- items ------------------------------------------------------------------

TEST_F(GxServerFixture, ItemLayoutPropertiesAndDataProperties) {
  DsPtr ds(connectAs("alice", "alicepw"));
  std::unique_ptr<GxDDO> d(ds->createDDO("Doc", 1));
  EXPECT_EQ(d->getObjectType(), "Doc");
  ASSERT_EQ(d->dataCount(), 4);  // Title, Num, Req, GxParts
  EXPECT_EQ(d->getDataName(1), "Title");
  EXPECT_EQ(d->getDataName(4), "GxParts");
  EXPECT_EQ(d->dataId("Num"), 2);
  EXPECT_EQ(d->dataId("ATTR", "Num"), 2);
  EXPECT_EQ(d->dataId("ATTR", "GxParts"), 0);
  EXPECT_EQ(d->dataId("GxParts"), 4);
  EXPECT_EQ(d->dataId("ATTR", "Nope"), 0);
  EXPECT_EQ(d->dataId("OTHER", "Num"), 0);
  EXPECT_EQ(exceptionIdOf([&] { d->getDataName(0); }), GX_EXC_BAD_ARGUMENT);
  EXPECT_EQ(exceptionIdOf([&] { d->getData(5); }), GX_EXC_BAD_ARGUMENT);

  ASSERT_EQ(d->dataPropertyCount(1), 4);
  EXPECT_EQ(d->getDataPropertyName(1, 1), "type");
  EXPECT_EQ(d->getDataProperty(1, 1).asLong(), GX_DATA_ATTRIBUTE);
  EXPECT_EQ(d->getDataProperty(1, 2).asString(), "STRING");
  EXPECT_EQ(d->getDataProperty(1, 3).asLong(), 10);
  EXPECT_EQ(d->getDataProperty(2, 2).asString(), "INTEGER");
  EXPECT_EQ(d->getDataProperty(3, 4).asLong(), 0);
  ASSERT_EQ(d->dataPropertyCount(4), 1);
  EXPECT_EQ(d->getDataProperty(4, 1).asLong(), GX_DATA_PARTS);

  ASSERT_EQ(d->propertyCount(), 6);
  EXPECT_EQ(d->getPropertyName(1), "ItemType");
  EXPECT_EQ(d->getProperty(1).asString(), "Doc");
  EXPECT_TRUE(d->getProperty(2).isNull());  // not stored: no item id
  EXPECT_EQ(d->getProperty(6).asLong(), 2);
  EXPECT_EQ(exceptionIdOf([&] { d->getPidString(); }), GX_EXC_NOT_STORED);
}

TEST_F(GxServerFixture, AddRetrieveUpdateDeleteThroughIdentifiers) {
  DsPtr ds(connectAs("alice", "alicepw"));
  std::unique_ptr<GxDDO> d(ds->createDDO("Doc", 1));
  setText(d.get(), "Title", "Budget");
  d->setData(d->dataId("Num"), GxAny(7L));
  setText(d.get(), "Req", "r");
  d->add();
  GxString pid = d->getPidString();
  GxString itemId = d->getItemId();
  EXPECT_EQ(pid, "PID:TESTSRV:Doc:" + itemId);
  EXPECT_EQ(pid.indexOf(itemId, 0), pid.length() - itemId.length() + 1);

  DsPtr other(connectAs("bob", "bobpw"));
  std::unique_ptr<GxDDO> r(other->createDDOFromPid(pid));
  EXPECT_EQ(r->getDatastore(), other.get());
  EXPECT_EQ(text(r.get(), "Title"), "Budget");
  EXPECT_EQ(r->getData(r->dataId("Num")).kind(), GxAny::kLong);
  EXPECT_EQ(r->getData(r->dataId("Num")).asLong(), 7);
  EXPECT_EQ(r->getPidString(), pid);
  std::unique_ptr<GxDDO> byId(other->createDDOFromPid(itemId));
  EXPECT_EQ(text(byId.get(), "Title"), "Budget");

  r->setNull(r->dataId("Title"));
  r->setData(r->dataId("Num"), GxAny("-12"));
  r->update();
  d->retrieve(2050);
  EXPECT_TRUE(d->isNull(d->dataId("Title")));
  EXPECT_TRUE(d->getData(d->dataId("Title")).isNull());
  EXPECT_EQ(d->getData(d->dataId("Num")).asLong(), -12);

  d->del();
  EXPECT_FALSE(d->isStored());
  EXPECT_EQ(exceptionIdOf([&] { delete other->createDDOFromPid(pid); }), GX_EXC_NO_SUCH_ITEM);
  EXPECT_EQ(exceptionIdOf([&] { r->retrieve(); }), GX_EXC_NO_SUCH_ITEM);
  EXPECT_EQ(exceptionIdOf([&] { r->update(); }), GX_EXC_NO_SUCH_ITEM);
  EXPECT_EQ(exceptionIdOf([&] { r->del(); }), GX_EXC_NO_SUCH_ITEM);
}

TEST_F(GxServerFixture, MalformedIdentifiersAreRejected) {
  DsPtr ds(connectAs("alice", "alicepw"));
  std::unique_ptr<GxDDO> d(ds->createDDO("Doc", 1));
  setText(d.get(), "Req", "r");
  d->add();
  const std::string id = d->getItemId().str();
  struct Case {
    std::string pid;
    short expected;
  } cases[] = {
      {"", GX_EXC_BAD_PID},
      {"PID:TESTSRV:Doc", GX_EXC_BAD_PID},
      {"PID:TESTSRV:Doc:x1", GX_EXC_BAD_PID},
      {"PID:TESTSRV:Doc:" + id + ":9", GX_EXC_BAD_PID},
      {"pid:TESTSRV:Doc:" + id, GX_EXC_BAD_PID},
      {"PID::Doc:" + id, GX_EXC_BAD_PID},
      {"PID:TESTSRV:QELconfig:" + id, GX_EXC_BAD_PID},  // names the wrong item type
      {"PID:OTHER:Doc:" + id, GX_EXC_WRONG_SERVER},
      {"PID:TESTSRV:Doc:999999", GX_EXC_NO_SUCH_ITEM},
      {"-1", GX_EXC_BAD_PID},
      {"12345678901234567890", GX_EXC_BAD_PID},
  };
  for (const Case& c : cases)
    EXPECT_EQ(exceptionIdOf([&] { delete ds->createDDOFromPid(c.pid.c_str()); }), c.expected) << c.pid;
  std::unique_ptr<GxDDO> ok(ds->createDDOFromPid(("PID:testsrv:Doc:" + id).c_str()));
  EXPECT_EQ(ok->getItemId(), id.c_str());
}

TEST_F(GxServerFixture, BadInputRaisesAndLeavesTheStoreUnchanged) {
  DsPtr ds(connectAs("alice", "alicepw"));
  std::unique_ptr<GxDDO> keep(ds->createDDO("Doc", 1));
  setText(keep.get(), "Title", "Keep");
  setText(keep.get(), "Req", "r");
  keep->add();
  const long before = countOf(ds.get(), "/Doc[@Req LIKE \"%\"]");

  struct Case {
    const char* what;
    std::function<void()> run;
    short expected;
  } cases[] = {
      {"unknown item type", [&] { delete ds->createDDO("NoType", 1); }, GX_EXC_UNKNOWN_ITEM_TYPE},
      {"unknown child component", [&] { delete ds->createChildDDO("Doc", "Kid"); }, GX_EXC_UNKNOWN_ITEM_TYPE},
      {"value longer than the attribute",
       [&] { keep->setData(keep->dataId("Title"), GxAny("12345678901")); }, GX_EXC_BAD_VALUE},
      {"text for an integer", [&] { keep->setData(keep->dataId("Num"), GxAny("12a")); }, GX_EXC_BAD_VALUE},
      {"null for a required attribute", [&] { keep->setNull(keep->dataId("Req")); }, GX_EXC_NULL_NOT_ALLOWED},
      {"collection for an attribute",
       [&] { gxCollection c; keep->setData(keep->dataId("Title"), GxAny(&c)); }, GX_EXC_BAD_VALUE},
      {"text for the parts", [&] { keep->setData(keep->dataId("GxParts"), GxAny("x")); }, GX_EXC_BAD_VALUE},
      {"required attribute never set",
       [&] {
         std::unique_ptr<GxDDO> d(ds->createDDO("Doc", 1));
         setText(d.get(), "Title", "NoReq");
         d->add();
       },
       GX_EXC_NULL_NOT_ALLOWED},
      {"stored twice", [&] { keep->add(); }, GX_EXC_BAD_ARGUMENT},
      {"something else in the parts",
       [&] {
         std::unique_ptr<GxDDO> d(ds->createDDO("Doc", 1));
         setText(d.get(), "Req", "r");
         gxCollection* parts = d->getData(d->dataId("GxParts"));
         parts->addElement(GxAny(static_cast<gxDataObjectBase*>(ds->createDDO("Doc", 1))));
         d->add();
       },
       GX_EXC_BAD_VALUE},
  };
  for (const Case& c : cases) EXPECT_EQ(exceptionIdOf(c.run), c.expected) << c.what;

  // The item in memory and on the server is as before.
  EXPECT_EQ(text(keep.get(), "Title"), "Keep");
  EXPECT_EQ(text(keep.get(), "Req"), "r");
  EXPECT_EQ(countOf(ds.get(), "/Doc[@Req LIKE \"%\"]"), before);
  EXPECT_EQ(countOf(ds.get(), "/Doc[@Title=\"NoReq\"]"), 0);
  keep->retrieve();
  EXPECT_EQ(text(keep.get(), "Title"), "Keep");
}

TEST_F(GxServerFixture, ExactMaximumLengthIsAccepted) {
  DsPtr ds(connectAs("alice", "alicepw"));
  std::unique_ptr<GxDDO> d(ds->createDDO("Doc", 1));
  setText(d.get(), "Title", "1234567890");
  setText(d.get(), "Req", "r");
  d->add();
  std::unique_ptr<GxDDO> r(ds->createDDOFromPid(d->getPidString()));
  EXPECT_EQ(text(r.get(), "Title"), "1234567890");
}

// The configuration record of the integration: a root with eleven children.
TEST_F(GxServerFixture, ChildComponentItemsAreStoredQueriedAndReplaced) {
  DsPtr ds(connectAs("qeladmin", "qelpw"));
  GxEnvironment::setSubSystem(1);
  std::unique_ptr<GxDDO> root(ds->createDDO("QELconfig", 1));
  setText(root.get(), "QELkey", "SystemConfig");
  unsigned short compId = root->dataId("QELvalue");
  ASSERT_NE(compId, 0);
  EXPECT_EQ(root->dataId("ATTR", "QELvalue"), 0);  // a component, not an attribute
  EXPECT_EQ(root->getDataProperty(compId, 1).asLong(), GX_DATA_COMPONENT);
  gxCollection* kids = root->getData(compId);
  const char* keys[] = {"LibSer", "ZulHost", "ZulDB", "HostID", "HostPW", "Outlook",
                        "ZulPwd", "ZulURL", "ZulSURL", "ZulORB", "QELPwd"};
  for (const char* k : keys) {
    GxDDO* child = ds->createChildDDO("QELconfig", "QELvalue");
    EXPECT_EQ(child->getObjectType(), "QELvalue");
    setText(child, "QELvalue", (std::string(k) + "#@#v").c_str());
    kids->addElement(GxAny(static_cast<gxDataObjectBase*>(child)));
  }
  root->setData(compId, GxAny(kids));  // storing back its own collection changes nothing
  EXPECT_EQ(kids->count(), 11);
  root->add();

  GxNVPair opts[3];
  opts[0].setName("MAX_RESULTS");
  opts[0].setValue(GxAny("0"));
  opts[1].setName("RETRIEVE_OPTION");
  opts[1].setValue(GxAny(2050));
  opts[2].setName("End");
  GxAny res = ds->query("/QELconfig[@QELkey=\"SystemConfig\"]/QELvalue", 7, opts);
  gxCollection* c = res;
  ASSERT_EQ(c->count(), 11);
  gxIterator* it = c->createIterator();
  int k = 0;
  while (it->more()) {
    auto* child = static_cast<GxDDO*>(static_cast<gxDataObjectBase*>(it->next().value()));
    EXPECT_EQ(text(child, "QELvalue"), std::string(keys[k++]) + "#@#v");
    EXPECT_EQ(child->getPidString().indexOf("QELconfig/QELvalue", 0), 13);
  }
  delete it;
  delete c;

  // Reload, drop the first child, change the second, add one: update replaces.
  std::unique_ptr<GxDDO> again(ds->createDDOFromPid(root->getPidString()));
  gxCollection* now = again->getData(again->dataId("QELvalue"));
  ASSERT_EQ(now->count(), 11);
  delete static_cast<gxDataObjectBase*>(now->elementAt(0).value());
  setText(static_cast<GxDDO*>(static_cast<gxDataObjectBase*>(now->elementAt(1).value())), "QELvalue", "ZulHost#@#new");
  GxDDO* extra = ds->createChildDDO("QELconfig", "QELvalue");
  setText(extra, "QELvalue", "Extra#@#1");
  now->addElement(GxAny(static_cast<gxDataObjectBase*>(extra)));
  again->update();
  EXPECT_EQ(countOf(ds.get(), "/QELconfig[@QELkey=\"SystemConfig\"]/QELvalue"), 11);
  EXPECT_EQ(countOf(ds.get(), "/*[@QELvalue=\"LibSer#@#v\"]"), 0);
  EXPECT_EQ(countOf(ds.get(), "/*[@QELvalue=\"ZulHost#@#new\"]"), 1);
  EXPECT_EQ(countOf(ds.get(), "/*[@QELvalue=\"Extra#@#1\"]"), 1);

  // Deleting the root deletes its children.
  again->del();
  EXPECT_EQ(countOf(ds.get(), "/*[@QELvalue LIKE \"%#@#%\"]"), 0);
}

TEST_F(GxServerFixture, ContentPartsAreStoredInTheDatabase) {
  DsPtr ds(connectAs("alice", "alicepw"));
  std::string file = dir_ + "/content.bin";
  std::string bytes(10 * 1024, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  std::ofstream(file, std::ios::binary) << bytes;

  std::unique_ptr<GxDDO> d(ds->createDDO("QELDocument", 1));
  setText(d.get(), "Title", "With part");
  gxCollection* parts = d->getData(d->dataId("GxParts"));
  auto* lob = static_cast<GxLobDVX*>(ds->createDDO("DVXBASE", 128));
  EXPECT_EQ(lob->getObjectType(), "DVXBASE");
  lob->setMimeType("application/pdf");
  lob->setContentFromFile(file.c_str());
  lob->setPartNumber(7);
  parts->addElement(GxAny(static_cast<gxDataObjectBase*>(lob)));
  d->setData(d->dataId("GxParts"), GxAny(parts));
  d->add();
  EXPECT_EQ(exceptionIdOf([&] { lob->add(); }), GX_EXC_CONTENT);
  EXPECT_EQ(exceptionIdOf([&] { lob->setContentFromFile((dir_ + "/missing").c_str()); }), GX_EXC_CONTENT);
  EXPECT_EQ(lob->getContentSize(), bytes.size());  // unchanged by the failed read

  ::unlink(file.c_str());  // the content lives in the store, not in the file
  std::unique_ptr<GxDDO> r(ds->createDDOFromPid(d->getPidString()));
  gxCollection* got = r->getData(r->dataId("GxParts"));
  ASSERT_EQ(got->count(), 1);
  auto* part = dynamic_cast<GxLobDVX*>(static_cast<gxDataObjectBase*>(got->elementAt(0).value()));
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->getMimeType(), "application/pdf");
  EXPECT_EQ(part->getPartNumber(), 7);
  EXPECT_EQ(std::string(part->getContent(), part->getContentSize()), bytes);
  part->writeContentToFile((dir_ + "/out.bin").c_str());
  std::ifstream in(dir_ + "/out.bin", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), bytes);
}

TEST_F(GxServerFixture, ItemsCopyIntoArraysAndStayUsable) {
  // The declaration workflow keeps reloaded items in an array of GxDDO.
  DsPtr ds(connectAs("alice", "alicepw"));
  std::unique_ptr<GxDDO> d(ds->createDDO("QELDocument", 1));
  setText(d.get(), "Title", "A");
  d->add();
  GxDDO* items = new GxDDO[2];
  EXPECT_EQ(exceptionIdOf([&] { items[1].dataCount(); }), GX_EXC_BAD_ARGUMENT);
  std::unique_ptr<GxDDO> loaded(ds->createDDOFromPid(d->getPidString()));
  items[0] = *loaded;
  loaded.reset();
  setText(&items[0], "eRecordID", "1::7:");
  ds->checkOut(&items[0]);
  items[0].update();
  ds->checkIn(&items[0]);
  delete[] items;
  d->retrieve();
  EXPECT_EQ(text(d.get(), "eRecordID"), "1::7:");
}

// ---- queries ----------------------------------------------------------------------

TEST_F(GxServerFixture, QueriesSelectByEqualityLikeAndAnyType) {
  DsPtr ds(connectAs("alice", "alicepw"));
  const char* ids[] = {"1::7:", "2::7:42:", "1::420:", nullptr};
  for (const char* v : ids) {
    std::unique_ptr<GxDDO> d(ds->createDDO("QELDocument", 1));
    if (v) setText(d.get(), "eRecordID", v);
    d->add();
  }
  std::unique_ptr<GxDDO> mail(ds->createDDO("QELMail", 1));
  setText(mail.get(), "Mail.eRecordID", "1::42:");
  mail->add();
  std::unique_ptr<GxDDO> other(ds->createDDO("Doc", 1));
  setText(other.get(), "Req", "42");
  other->add();

  EXPECT_EQ(countOf(ds.get(), "/QELDocument[@eRecordID LIKE \"%:42:%\"]"), 1);
  EXPECT_EQ(countOf(ds.get(), "/QELDocument[@eRecordID LIKE \"%:7:%\"]"), 2);
  EXPECT_EQ(countOf(ds.get(), "/QELDocument[@eRecordID=\"1::7:\"]"), 1);
  EXPECT_EQ(countOf(ds.get(), "/QELDocument[@eRecordID=\"1::7\"]"), 0);
  EXPECT_EQ(countOf(ds.get(), "/*[@eRecordID LIKE \"%:42:%\"]"), 1);  // plain name only
  EXPECT_EQ(countOf(ds.get(), "/*[@Mail.eRecordID LIKE \"%:42:%\"]"), 1);
  EXPECT_EQ(countOf(ds.get(), "/*[@NoSuchAttr=\"x\"]"), 0);
  // Values are data, never SQL.
  EXPECT_EQ(countOf(ds.get(), "/QELDocument[@eRecordID=\"x' OR '1'='1\"]"), 0);

  GxNVPair opts[2];
  opts[0].setName("MAX_RESULTS");
  opts[0].setValue(GxAny(1));
  opts[1].setName("End");
  GxAny r = ds->query("/QELDocument[@eRecordID LIKE \"%:7:%\"]", 7, opts);
  gxCollection* c = r;
  ASSERT_EQ(c->count(), 1);
  auto* first = static_cast<GxDDO*>(static_cast<gxDataObjectBase*>(c->elementAt(0).value()));
  EXPECT_EQ(text(first, "eRecordID"), "1::7:");  // ordered by item id
  // A query result loads its parts when asked.
  EXPECT_EQ(static_cast<gxCollection*>(first->getData(first->dataId("GxParts")))->count(), 0);
  delete c;
}

TEST_F(GxServerFixture, UnsupportedQueriesRaiseClearErrors) {
  DsPtr ds(connectAs("alice", "alicepw"));
  struct Case {
    const char* query;
    short language;
    short expected;
  } cases[] = {
      {"/QELDocument[@Title=\"x\"]", 8, GX_EXC_BAD_QUERY},
      {"SELECT * FROM items", 7, GX_EXC_BAD_QUERY},
      {"/QELDocument", 7, GX_EXC_BAD_QUERY},
      {"/NoType[@Title=\"x\"]", 7, GX_EXC_UNKNOWN_ITEM_TYPE},
      {"/QELDocument[@Nope=\"x\"]", 7, GX_EXC_UNKNOWN_ATTRIBUTE},
      {"/QELconfig[@QELkey=\"x\"]/Nope", 7, GX_EXC_UNKNOWN_ITEM_TYPE},
  };
  for (const Case& c : cases) {
    try {
      delete static_cast<gxCollection*>(ds->query(c.query, c.language, nullptr));
      ADD_FAILURE() << "accepted: " << c.query;
    } catch (const GxException& e) {
      EXPECT_EQ(e.exceptionId(), c.expected) << c.query;
      EXPECT_GT(std::string(e.description()).size(), 10u) << c.query;
    }
  }
  GxNVPair opts[2];
  opts[0].setName("SORT_BY");
  opts[1].setName("End");
  EXPECT_EQ(exceptionIdOf([&] { ds->query("/QELDocument[@Title=\"x\"]", 7, opts); }), GX_EXC_BAD_QUERY);
  opts[0].setName("MAX_RESULTS");
  opts[0].setValue(GxAny(-1));
  EXPECT_EQ(exceptionIdOf([&] { ds->query("/QELDocument[@Title=\"x\"]", 7, opts); }), GX_EXC_BAD_QUERY);
}

// ---- check-out and transactions ------------------------------------------------------

TEST_F(GxServerFixture, CheckedOutItemIsLockedAgainstOtherUsers) {
  DsPtr alice(connectAs("alice", "alicepw"));
  DsPtr bob(connectAs("bob", "bobpw"));
  std::unique_ptr<GxDDO> a(alice->createDDO("QELDocument", 1));
  setText(a.get(), "Title", "Locked");
  a->add();
  std::unique_ptr<GxDDO> b(bob->createDDOFromPid(a->getPidString()));

  EXPECT_EQ(exceptionIdOf([&] { alice->checkOut(b.get()); }), GX_EXC_BAD_ARGUMENT);  // bob's object
  alice->checkOut(a.get());
  alice->checkOut(a.get());  // again by the holder: fine
  EXPECT_EQ(exceptionIdOf([&] { bob->checkOut(b.get()); }), GX_EXC_CHECKED_OUT);
  setText(b.get(), "Title", "Bob");
  EXPECT_EQ(exceptionIdOf([&] { b->update(); }), GX_EXC_CHECKED_OUT);
  EXPECT_EQ(exceptionIdOf([&] { b->del(); }), GX_EXC_CHECKED_OUT);
  EXPECT_EQ(exceptionIdOf([&] { bob->checkIn(b.get()); }), GX_EXC_CHECKED_OUT);

  setText(a.get(), "Title", "Alice");
  a->update();
  alice->checkIn(a.get());
  alice->checkIn(a.get());  // not checked out: nothing to do

  b->retrieve();
  EXPECT_EQ(text(b.get(), "Title"), "Alice");
  bob->checkOut(b.get());
  std::unique_ptr<GxDDO> unstored(bob->createDDO("QELDocument", 1));
  EXPECT_EQ(exceptionIdOf([&] { bob->checkOut(unstored.get()); }), GX_EXC_NOT_STORED);
  EXPECT_EQ(exceptionIdOf([&] { bob->checkOut(nullptr); }), GX_EXC_BAD_ARGUMENT);
}

TEST_F(GxServerFixture, StaleUpdateIsRefused) {
  DsPtr one(connectAs("alice", "alicepw"));
  DsPtr two(connectAs("alice", "alicepw"));
  std::unique_ptr<GxDDO> d(one->createDDO("QELDocument", 1));
  d->add();
  std::unique_ptr<GxDDO> x(one->createDDOFromPid(d->getPidString()));
  std::unique_ptr<GxDDO> y(two->createDDOFromPid(d->getPidString()));
  setText(x.get(), "Title", "first");
  x->update();
  setText(y.get(), "Title", "second");
  EXPECT_EQ(exceptionIdOf([&] { y->update(); }), GX_EXC_STALE_ITEM);
  y->retrieve();
  EXPECT_EQ(text(y.get(), "Title"), "first");
  setText(y.get(), "Title", "second");
  y->update();
}

TEST_F(GxServerFixture, RolledBackTransactionLeavesNoTrace) {
  DsPtr ds(connectAs("qeladmin", "qelpw"));
  DsPtr watcher(connectAs("bob", "bobpw"));
  std::unique_ptr<GxDDO> d(ds->createDDO("QELDocument", 1));
  setText(d.get(), "eRecord", "no");
  d->add();
  std::unique_ptr<GxDDO> fresh(ds->createDDO("QELDocument", 1));

  ds->startTransaction();
  EXPECT_EQ(exceptionIdOf([&] { ds->startTransaction(); }), GX_EXC_TRANSACTION);
  setText(d.get(), "eRecord", "yes");
  d->update();
  fresh->add();
  EXPECT_TRUE(fresh->isStored());
  ds->rollback();

  EXPECT_FALSE(fresh->isStored());
  EXPECT_EQ(countOf(watcher.get(), "/QELDocument[@eRecord=\"yes\"]"), 0);
  std::unique_ptr<GxDDO> seen(watcher->createDDOFromPid(d->getPidString()));
  EXPECT_EQ(text(seen.get(), "eRecord"), "no");
  // The item object can be written again after the rollback (no stale version).
  setText(d.get(), "eRecord", "no");
  d->update();
  fresh->add();
  EXPECT_TRUE(fresh->isStored());
  EXPECT_EQ(exceptionIdOf([&] { ds->commit(); }), GX_EXC_TRANSACTION);
  EXPECT_EQ(exceptionIdOf([&] { ds->rollback(); }), GX_EXC_TRANSACTION);
}

TEST_F(GxServerFixture, FailedWriteInsideTransactionKeepsEarlierWrites) {
  DsPtr ds(connectAs("alice", "alicepw"));
  DsPtr bob(connectAs("bob", "bobpw"));
  std::unique_ptr<GxDDO> a(ds->createDDO("QELDocument", 1));
  std::unique_ptr<GxDDO> b(ds->createDDO("QELDocument", 1));
  a->add();
  b->add();
  std::unique_ptr<GxDDO> bobsB(bob->createDDOFromPid(b->getPidString()));
  bob->checkOut(bobsB.get());

  ds->startTransaction();
  setText(a.get(), "Title", "one");
  a->update();
  setText(b.get(), "Title", "two");
  EXPECT_EQ(exceptionIdOf([&] { b->update(); }), GX_EXC_CHECKED_OUT);
  ds->commit();
  EXPECT_EQ(countOf(bob.get(), "/QELDocument[@Title=\"one\"]"), 1);
  EXPECT_EQ(countOf(bob.get(), "/QELDocument[@Title=\"two\"]"), 0);
}

TEST_F(GxServerFixture, DestroyingADatastoreRollsBackItsTransaction) {
  std::string pid;
  {
    DsPtr ds(connectAs("alice", "alicepw"));
    std::unique_ptr<GxDDO> d(ds->createDDO("QELDocument", 1));
    d->add();
    pid = d->getPidString().str();
    ds->startTransaction();
    setText(d.get(), "Title", "lost");
    d->update();
  }
  DsPtr check(connectAs("bob", "bobpw"));
  std::unique_ptr<GxDDO> r(check->createDDOFromPid(pid.c_str()));
  EXPECT_TRUE(r->isNull(r->dataId("Title")));
}

// ---- two processes --------------------------------------------------------------------

TEST_F(GxServerFixture, TwoProcessesWritingOneServerLoseNoUpdate) {
  std::string pid;
  {
    DsPtr ds(connectAs("alice", "alicepw"));
    std::unique_ptr<GxDDO> counter(ds->createDDO("Doc", 1));
    counter->setData(counter->dataId("Num"), GxAny(0L));
    setText(counter.get(), "Req", "ctr");
    counter->add();
    pid = counter->getPidString().str();
  }
  const int kRounds = 40;
  auto work = [&](const char* tag) -> int {
    try {
      GxDatastoreDVX ds;
      ds.connect("TESTSRV", "alice", "alicepw", "");
      for (int i = 0; i < kRounds; ++i) {
        // Read-modify-write with retry on a concurrent change.
        for (;;) {
          std::unique_ptr<GxDDO> c(ds.createDDOFromPid(pid.c_str()));
          long n = c->getData(c->dataId("Num")).asLong();
          c->setData(c->dataId("Num"), GxAny(n + 1));
          try {
            c->update();
            break;
          } catch (const GxException& e) {
            if (e.exceptionId() != GX_EXC_STALE_ITEM) throw;
          }
        }
        std::unique_ptr<GxDDO> d(ds.createDDO("Doc", 1));
        setText(d.get(), "Req", tag);
        d->add();
      }
      return 0;
    } catch (const GxException& e) {
      fprintf(stderr, "%s: %s\n", tag, e.description());
      return 1;
    }
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(work("kid"));
  int mine = work("par");
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(mine, 0);

  DsPtr ds(connectAs("bob", "bobpw"));
  std::unique_ptr<GxDDO> c(ds->createDDOFromPid(pid.c_str()));
  EXPECT_EQ(c->getData(c->dataId("Num")).asLong(), 2 * kRounds);
  EXPECT_EQ(countOf(ds.get(), "/Doc[@Req=\"kid\"]"), kRounds);
  EXPECT_EQ(countOf(ds.get(), "/Doc[@Req=\"par\"]"), kRounds);
}

}  // namespace

// ---- store failures ---------------------------------------------------------

namespace gx_internal {
void setStoreFaultCountdown(long n);
}

namespace {

struct FaultsOff {
  ~FaultsOff() { gx_internal::setStoreFaultCountdown(0); }
};

GxDDO* configWithChildrenAndPart(GxDatastoreDVX* ds, const char* key) {
  GxDDO* root = ds->createDDO("QELconfig", 1);
  root->setData(root->dataId("QELkey"), GxAny(key));
  gxCollection* kids = root->getData(root->dataId("QELvalue"));
  for (int i = 0; i < 3; ++i) {
    GxDDO* c = ds->createChildDDO("QELconfig", "QELvalue");
    c->setData(c->dataId("QELvalue"), GxAny(("v" + std::to_string(i)).c_str()));
    kids->addElement(GxAny(static_cast<gxDataObjectBase*>(c)));
  }
  gxCollection* parts = root->getData(root->dataId("GxParts"));
  auto* lob = static_cast<GxLobDVX*>(ds->createDDO("DVXBASE", 128));
  lob->setContent("abc", 3);
  parts->addElement(GxAny(static_cast<gxDataObjectBase*>(lob)));
  return root;
}

// Fails every store call in turn: each failure is exception 1 and leaves
// both the server and the item objects as they were.
TEST_F(GxServerFixture, EveryFailingStoreCallLeavesAddAndUpdateUndone) {
  FaultsOff off;
  DsPtr ds(connectAs("qeladmin", "qelpw"));
  int failures = 0;
  for (long n = 1;; ++n) {
    std::unique_ptr<GxDDO> root(configWithChildrenAndPart(ds.get(), "K"));
    gx_internal::setStoreFaultCountdown(n);
    short id = exceptionIdOf([&] { root->add(); });
    gx_internal::setStoreFaultCountdown(0);
    if (id == 0) break;
    ++failures;
    ASSERT_EQ(id, GX_EXC_STORAGE) << "call " << n;
    EXPECT_FALSE(root->isStored()) << "call " << n;
    gxCollection* kids = root->getData(root->dataId("QELvalue"));
    EXPECT_FALSE(static_cast<GxDDO*>(static_cast<gxDataObjectBase*>(kids->elementAt(0).value()))->isStored());
    EXPECT_EQ(countOf(ds.get(), "/QELconfig[@QELkey LIKE \"%\"]"), 0) << "call " << n;
    EXPECT_EQ(countOf(ds.get(), "/*[@QELvalue LIKE \"%\"]"), 0) << "call " << n;
    ASSERT_LT(n, 200) << "add never succeeded";
  }
  EXPECT_GT(failures, 5);

  GxString pid;
  {
    GxAny r = ds->query("/QELconfig[@QELkey=\"K\"]", 7, nullptr);
    std::unique_ptr<gxCollection> c(static_cast<gxCollection*>(r));
    ASSERT_EQ(c->count(), 1);
    pid = static_cast<GxDDO*>(static_cast<gxDataObjectBase*>(c->elementAt(0).value()))->getPidString();
  }
  failures = 0;
  for (long n = 1;; ++n) {
    std::unique_ptr<GxDDO> item(ds->createDDOFromPid(pid));
    item->setData(item->dataId("QELkey"), GxAny("K2"));
    gxCollection* kids = item->getData(item->dataId("QELvalue"));
    delete static_cast<gxDataObjectBase*>(kids->elementAt(0).value());
    GxDDO* extra = ds->createChildDDO("QELconfig", "QELvalue");
    extra->setData(extra->dataId("QELvalue"), GxAny("new"));
    kids->addElement(GxAny(static_cast<gxDataObjectBase*>(extra)));
    gx_internal::setStoreFaultCountdown(n);
    short id = exceptionIdOf([&] { item->update(); });
    gx_internal::setStoreFaultCountdown(0);
    if (id == 0) break;
    ++failures;
    ASSERT_EQ(id, GX_EXC_STORAGE) << "call " << n;
    EXPECT_FALSE(extra->isStored()) << "call " << n;
    EXPECT_EQ(countOf(ds.get(), "/QELconfig[@QELkey=\"K\"]/QELvalue"), 3) << "call " << n;
    EXPECT_EQ(countOf(ds.get(), "/*[@QELvalue=\"v0\"]"), 1) << "call " << n;
    EXPECT_EQ(countOf(ds.get(), "/*[@QELvalue=\"new\"]"), 0) << "call " << n;
    // The object's version was not advanced: writing it again works.
    item->update();
    ASSERT_EQ(countOf(ds.get(), "/QELconfig[@QELkey=\"K2\"]"), 1) << "call " << n;
    // Put the server back as it was for the next round.
    std::unique_ptr<GxDDO> reset(configWithChildrenAndPart(ds.get(), "K"));
    item->del();
    reset->add();
    pid = reset->getPidString();
    ASSERT_LT(n, 200) << "update never succeeded";
  }
  EXPECT_GT(failures, 5);
  EXPECT_EQ(countOf(ds.get(), "/QELconfig[@QELkey=\"K2\"]/QELvalue"), 3);
  EXPECT_EQ(countOf(ds.get(), "/*[@QELvalue=\"new\"]"), 1);
}

}  // namespace
