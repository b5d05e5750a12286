// gxadmin as a program: the commands the demo and the tests script.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/gx/gxdvx.h"

namespace {

class GxAdminToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("QEL_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "QEL_BUILD_DIR not set (run through ctest)";
    tool_ = std::string(build) + "/bin/gxadmin";
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/gx_tool_XXXXXX";
    ASSERT_NE(mkdtemp(&tmpl[0]), nullptr);
    dir_ = tmpl;
    servers_ = dir_ + "/servers.conf";
    setenv("GXSERVERS", servers_.c_str(), 1);
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir_;
  }

  struct Result {
    int status;
    std::string out;
  };
  // Runs gxadmin with `args` (shell words), stdin from `input`; stdout and
  // stderr together.
  Result run(const std::string& args, const std::string& input = "") {
    std::string cmd = "printf '%s' '" + input + "' | '" + tool_ + "' --servers '" + servers_ + "' " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    Result r{-1, ""};
    if (!p) return r;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
  }

  std::string tool_, dir_, servers_;
};

TEST_F(GxAdminToolTest, SetsUpAServerTheConnectorCanUse) {
  ASSERT_EQ(run("create-server DEMO demo.db").status, 0);
  struct stat st;
  ASSERT_EQ(stat((dir_ + "/demo.db").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  Result r = run("init-qel DEMO", "adminpw\n");
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(run("add-user DEMO carol carolpw").status, 0);
  ASSERT_EQ(run("add-group DEMO team").status, 0);
  ASSERT_EQ(run("add-member DEMO team carol").status, 0);
  r = run("define-item-type DEMO Memo --class 2 Subject:string:80:notnull Pages:integer eRecord:string:8 "
          "eRecordID:string:1000 --child Line Text:string:200");
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(run("add-mime-type DEMO application/x-memo memo").status, 0);

  r = run("list item-types DEMO");
  EXPECT_NE(r.out.find("Memo (classification 2)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Subject string(80) not null"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("child Line"), std::string::npos) << r.out;
  r = run("list users DEMO");
  EXPECT_NE(r.out.find("carol: team"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("qeladmin"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("adminpw"), std::string::npos);
  r = run("list servers");
  EXPECT_NE(r.out.find("DEMO = " + dir_ + "/demo.db"), std::string::npos) << r.out;
  r = run("list mime-types DEMO");
  EXPECT_NE(r.out.find("application/x-memo: memo"), std::string::npos) << r.out;

  GxDatastoreDVX ds;
  ds.connect("DEMO", "qeladmin", "adminpw", "");
  std::unique_ptr<GxDDO> m(ds.createDDO("Memo", 1));
  m->setData(m->dataId("Subject"), GxAny("hello"));
  m->add();
  GxDatastoreDVX carol;
  carol.connect("DEMO", "carol", "carolpw", "");
  r = run("list items DEMO Memo");
  EXPECT_NE(r.out.find("Subject=hello"), std::string::npos) << r.out;
}

TEST_F(GxAdminToolTest, ErrorsAreClearAndChangeNothing) {
  ASSERT_EQ(run("create-server DEMO demo.db").status, 0);
  struct Case {
    const char* args;
    int status;
    const char* says;
  } cases[] = {
      {"", 2, "no command"},
      {"frobnicate", 2, "unknown command"},
      {"add-group", 2, "wrong number of arguments"},
      {"create-server DEMO other.db", 1, "already listed"},
      {"add-group NOPE g", 1, "unknown server"},
      {"define-item-type DEMO T a:float", 2, "type must be string or integer"},
      {"define-item-type DEMO T a:string", 2, "needs a length"},
      {"define-item-type DEMO T a:string:0", 1, "maximum length"},
      {"define-item-type DEMO T a:string:5 a:integer", 1, "defined twice"},
      {"define-item-type DEMO T --class 3", 2, "--class must be 1 or 2"},
      {"add-member DEMO nogroup nobody", 1, "unknown group"},
      {"add-mime-type DEMO nonsense x", 1, "type/subtype"},
      {"list frogs DEMO", 2, "cannot list"},
  };
  for (const Case& c : cases) {
    Result r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
  }
  Result r = run("list item-types DEMO");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");  // none of the failed definitions was stored
  r = run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("define-item-type"), std::string::npos);
}

}  // namespace
