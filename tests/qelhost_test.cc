// qelhost, the command-line host application, against both servers.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host_commands.h"
#include "qel_system_test.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct Outcome {
  int status;
  std::string out, err;
};

Outcome qelhost(const std::vector<std::string>& args, const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = RunQelhost(args, in, out, err);
  return {status, out.str(), err.str()};
}

TEST(QelhostRecordFile, ParsesTheElevenKeys) {
  std::istringstream text(
      "# joins QELLIB to the records server\n"
      "LibSer=QELLIB\nZulHost=127.0.0.1\nZulDB=HollinDS\nZulPwd=a=b\n"
      "ZulURL=http://x/\nZulSURL=http://y/\r\nZulORB=-1\n\nHostID=7\nHostPW=\n"
      "Outlook=QELMail\nQELPwd=secret\n");
  TaVNcfgInfo_t i;
  ASSERT_EQ("", ParseConfigRecord(text, i));
  EXPECT_STREQ("QELLIB", i.LibSer.c_str());
  EXPECT_STREQ("a=b", i.ZulPwd.c_str());  // only the first "=" separates
  EXPECT_STREQ("http://y/", i.ZulSURL.c_str());
  EXPECT_EQ(-1, i.ZulORB);
  EXPECT_EQ(7, i.HostID);
  EXPECT_STREQ("", i.HostPW.c_str());
  EXPECT_STREQ("secret", i.QELPwd.c_str());
}

TEST(QelhostRecordFile, RejectsWhatItCannotStore) {
  const struct {
    const char* text;
    const char* reason;
  } rows[] = {
      {"LibSer=A\nNoSuchKey=1\n", "line 2: unknown key NoSuchKey"},
      {"HostID=1\nHostID=2\n", "line 2: HostID given twice"},
      {"HostID=one\n", "line 1: HostID is not a number"},
      {"HostID=\n", "line 1: HostID is not a number"},
      {"ZulORB=4294967296\n", "line 1: ZulORB is not a number"},  // beyond 32 bits
      {"HostID=1 \n", "line 1: HostID is not a number"},
      {"LibSer\n", "line 1: expected Key=Value"},
  };
  for (const auto& r : rows) {
    std::istringstream text(r.text);
    TaVNcfgInfo_t i;
    EXPECT_EQ(r.reason, ParseConfigRecord(text, i)) << r.text;
  }
}

TEST(QelhostCommandLine, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> rows = {
      {}, {"no-such-command"}, {"session", "QELLIB"}, {"session", "QELLIB", "bob", "--nope"},
      {"set-config", "QELLIB", "qeladmin"}, {"show-config", "QELLIB"}};
  for (const auto& args : rows) {
    const Outcome r = qelhost(args, "pw\n");
    EXPECT_EQ(2, r.status) << r.err;
    EXPECT_THAT(r.err, HasSubstr("usage: qelhost"));
  }
  EXPECT_EQ(0, qelhost({"--help"}, "").status);
}

class QelhostE2e : public QelSystemTest {};

TEST_F(QelhostE2e, SessionShowsWhatTheUserSees) {
  const Outcome r = qelhost({"session", "QELLIB", "alice"}, std::string(QelTestSystem::kAlicePw) + "\n");
  ASSERT_EQ(0, r.status) << r.err;
  const std::string url = sys().recordsServer().url();
  EXPECT_THAT(r.out, HasSubstr("logged on        QELLIB::@%@::alice\n"));
  EXPECT_THAT(r.out, HasSubstr("records server   " + url + " (hollin-server 1.0)\n"));
  EXPECT_THAT(r.out, HasSubstr("NXDocumentID     20   Document\n"));
  EXPECT_THAT(r.out, HasSubstr("NXEmailID        21   E-mail\n"));
  EXPECT_THAT(r.out, HasSubstr("NXSprsdViewID    2    Supersede\n"));
  EXPECT_THAT(r.out, HasSubstr("NXVersionViewID  3    Versions\n"));
  EXPECT_THAT(r.out, HasSubstr("NXCrsRefViewID   4    Cross-reference\n"));
  EXPECT_THAT(r.out, HasSubstr("action mask      0x5B (may declare records)\n"));
  EXPECT_THAT(r.out, HasSubstr("logged off\n"));
}

TEST_F(QelhostE2e, AdminSessionHasEveryRight) {
  const Outcome r = qelhost({"session", "QELLIB", "bob", "--admin"}, std::string(QelTestSystem::kBobPw) + "\n");
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_THAT(r.out, HasSubstr("logged on        administrator\n"));
  EXPECT_THAT(r.out, HasSubstr("action mask      0xFF (may declare records)\n"));
}

TEST_F(QelhostE2e, FailuresExitWithOne) {
  Outcome r = qelhost({"session", "QELLIB", "alice"}, "wrong-password\n");
  EXPECT_EQ(1, r.status);
  EXPECT_THAT(r.err, HasSubstr("cannot log on to QELLIB as alice"));

  r = qelhost({"session", "QELLIB", "alice"}, "");
  EXPECT_EQ(1, r.status);
  EXPECT_THAT(r.err, HasSubstr("no password"));

  TaVNcfgInfo_t wrong = sys().config();
  wrong.HostPW = "not-the-host-pw";
  sys().storeConfig(wrong);
  r = qelhost({"session", "QELLIB", "alice"}, std::string(QelTestSystem::kAlicePw) + "\n");
  EXPECT_EQ(1, r.status);
  EXPECT_THAT(r.err, HasSubstr("records-server logon failed"));
  EXPECT_THAT(r.out, Not(HasSubstr("logged on")));
}

TEST_F(QelhostE2e, SetConfigStoresTheRecordAndShowConfigHidesPasswords) {
  const std::string file = sys().contentServer().writeFile(
      "record.conf", "LibSer=QELLIB\nZulDB=HollinDS\nZulPwd=zul-secret\nZulSURL=http://h:1/\n"
                     "HostID=3\nHostPW=host-secret\nQELPwd=qel-secret\nOutlook=QELMail\n");
  const std::string adminPw = std::string(GxTestServer::kQelAdminPw) + "\n";
  Outcome r = qelhost({"set-config", "QELLIB", "qeladmin", file}, adminPw);
  ASSERT_EQ(0, r.status) << r.err;

  // Read back through the library, not through qelhost.
  auto ds = sys().contentServer().connectAdmin();
  TaVNcfgInfo_t stored;
  ASSERT_EQ(0, GetTaVNcfgInfo(ds.get(), stored));
  EXPECT_STREQ("http://h:1/", stored.ZulSURL.c_str());
  EXPECT_EQ(3, stored.HostID);
  EXPECT_STREQ("host-secret", stored.HostPW.c_str());
  EXPECT_STREQ("", stored.ZulHost.c_str());

  r = qelhost({"show-config", "QELLIB", "qeladmin"}, adminPw);
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_THAT(r.out, HasSubstr("ZulSURL  http://h:1/\n"));
  EXPECT_THAT(r.out, HasSubstr("HostPW   (set)\n"));
  EXPECT_THAT(r.out, HasSubstr("ZulHost  \n"));
  for (const char* secret : {"zul-secret", "host-secret", "qel-secret"})
    EXPECT_THAT(r.out, Not(HasSubstr(secret)));

  // A bad record file stores nothing.
  const std::string bad = sys().contentServer().writeFile("bad.conf", "HostID=x\n");
  r = qelhost({"set-config", "QELLIB", "qeladmin", bad}, adminPw);
  EXPECT_EQ(1, r.status);
  EXPECT_THAT(r.err, HasSubstr("HostID is not a number"));
  ASSERT_EQ(0, GetTaVNcfgInfo(ds.get(), stored));
  EXPECT_EQ(3, stored.HostID);
}

}  // namespace
