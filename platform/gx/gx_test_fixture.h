#pragma once
// A temporary server for connector tests: its own folder, servers file and
// SQLite file, with the integration's definitions and two users.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/gx/gx_store_admin_dvx.h"
#include "platform/gx/gxdvx.h"

class GxServerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/gx_test_XXXXXX";
    ASSERT_NE(mkdtemp(&tmpl[0]), nullptr);
    dir_ = tmpl;
    servers_ = dir_ + "/gxservers.conf";
    setenv("GXSERVERS", servers_.c_str(), 1);
    GxStoreAdminDVX::createServer(servers_, "TESTSRV", "test.db");
    GxStoreAdminDVX admin(servers_, "TESTSRV");
    admin.initQel("qelpw");
    admin.addUser("alice", "alicepw");
    admin.addUser("bob", "bobpw");
    admin.addGroup("staff");
    admin.addGroup("auditors");
    admin.addMember("staff", "alice");
    admin.addMember("auditors", "alice");
    GxItemTypeSpecDVX doc;
    doc.name = "Doc";
    doc.classification = 2;
    GxAttrSpecDVX title;
    title.name = "Title";
    title.maxLength = 10;
    GxAttrSpecDVX num;
    num.name = "Num";
    num.integer = true;
    GxAttrSpecDVX req;
    req.name = "Req";
    req.maxLength = 5;
    req.nullable = false;
    doc.attributes = {title, num, req};
    admin.defineItemType(doc);
  }

  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir_;
  }

  // A datastore connected as `user`; the caller deletes it.
  GxDatastoreDVX* connectAs(const char* user, const char* password) {
    auto* ds = new GxDatastoreDVX;
    ds->connect("TESTSRV", user, password, "");
    return ds;
  }

  static void setText(GxDDO* d, const char* attr, const char* value) {
    unsigned short id = d->dataId("ATTR", attr);
    EXPECT_NE(id, 0) << attr;
    d->setData(id, GxAny(value));
  }
  static GxString text(GxDDO* d, const char* attr) {
    return d->getData(d->dataId("ATTR", attr)).asString();
  }

  // Number of results of a query, the collection deleted.
  static long countOf(GxDatastoreDVX* ds, const char* query) {
    GxAny r = ds->query(query, 7, nullptr);
    gxCollection* c = r;
    long n = c->count();
    delete c;
    return n;
  }

  std::string dir_;
  std::string servers_;
};

// Runs `f` and returns the exception id it throws (0 when it does not throw).
template <typename F>
short exceptionIdOf(F f) {
  try {
    f();
  } catch (const GxException& e) {
    return e.exceptionId();
  }
  return 0;
}
