// Internals: hashing, the query parser and the servers file.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "platform/gx/gx_exception.h"
#include "platform/gx/internal/query_parser.h"
#include "platform/gx/internal/servers_file.h"
#include "platform/gx/internal/sha256.h"

using namespace gx_internal;

namespace {

std::string hex(const std::string& b) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : b) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

TEST(GxHashTest, KnownVectors) {
  // FIPS 180-2 examples.
  EXPECT_EQ(hex(sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hex(sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hex(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(hex(sha256(std::string(1000000, 'a'))),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  // RFC 4231 test case 2.
  EXPECT_EQ(hex(hmacSha256("Jefe", "what do ya want for nothing?")),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  // RFC 4231 test case 6: key longer than the block.
  EXPECT_EQ(hex(hmacSha256(std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First")),
            "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
  // PBKDF2-HMAC-SHA256 (RFC 7914 section 11 and common vectors).
  EXPECT_EQ(hex(pbkdf2Sha256("password", "salt", 1, 32)),
            "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b");
  EXPECT_EQ(hex(pbkdf2Sha256("password", "salt", 2, 32)),
            "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43");
  EXPECT_EQ(hex(pbkdf2Sha256("passwd", "salt", 1, 64)),
            "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
            "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
}

TEST(GxHashTest, RandomAndCompare) {
  EXPECT_EQ(randomBytes(16).size(), 16u);
  EXPECT_NE(randomBytes(16), randomBytes(16));
  EXPECT_TRUE(constantTimeEqual("abc", "abc"));
  EXPECT_FALSE(constantTimeEqual("abc", "abd"));
  EXPECT_FALSE(constantTimeEqual("abc", "ab"));
}

TEST(GxQueryParserTest, AcceptsTheSubset) {
  ParsedQuery q = parseQuery("/QELconfig[@QELkey=\"SystemConfig\"]/QELvalue");
  EXPECT_FALSE(q.anyType);
  EXPECT_EQ(q.type, "QELconfig");
  EXPECT_EQ(q.attr, "QELkey");
  EXPECT_FALSE(q.like);
  EXPECT_EQ(q.value, "SystemConfig");
  EXPECT_EQ(q.child, "QELvalue");

  q = parseQuery("/*[@eRecordID LIKE \"%:42:%\"]");
  EXPECT_TRUE(q.anyType);
  EXPECT_TRUE(q.like);
  EXPECT_EQ(q.value, "%:42:%");
  EXPECT_EQ(q.child, "");

  q = parseQuery("/Doc[@Doc.eRecordID like \"\"]");
  EXPECT_EQ(q.attr, "Doc.eRecordID");
  EXPECT_TRUE(q.like);
  EXPECT_EQ(q.value, "");
}

TEST(GxQueryParserTest, RejectsEverythingElse) {
  const char* bad[] = {
      "",
      "Doc[@a=\"v\"]",            // no leading slash
      "/Doc",                      // no predicate
      "/Doc[@a=\"v\"",             // no closing bracket
      "/Doc[a=\"v\"]",             // no @
      "/Doc[@a=v]",                // unquoted value
      "/Doc[@a=\"v]",              // unterminated value
      "/Doc[@a != \"v\"]",         // operator not supported
      "/Doc[@a LIKEx \"v\"]",      // not the keyword
      "/Doc[@a=\"v\"] and more",   // trailing text
      "/*[@a=\"v\"]/Child",        // child of any type
      "/Doc[@a=\"v\"]/",           // empty child
      "/Doc[@a=\"v\"][@b=\"w\"]",  // two predicates
      "/Doc[@a=\"v\" or @b=\"w\"]",
      "//Doc[@a=\"v\"]",
      "/Doc;DROP[@a=\"v\"]",
  };
  for (const char* text : bad) {
    try {
      parseQuery(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const GxException& e) {
      EXPECT_EQ(e.exceptionId(), GX_EXC_BAD_QUERY) << text;
      EXPECT_NE(std::string(e.description()).find("unsupported query"), std::string::npos) << text;
    }
  }
}

class ServersFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/gx_sf_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    unlink((dir_ + "/s.conf").c_str());
    rmdir(dir_.c_str());
  }
  std::string write(const std::string& text) {
    std::ofstream(dir_ + "/s.conf") << text;
    return dir_ + "/s.conf";
  }
  std::string dir_;
};

TEST_F(ServersFileTest, ParsesEntriesCommentsAndRelativePaths) {
  std::string f = write("# servers\n\nDEMO = /abs/demo.db\n  other_1 =rel/o.db   # comment\n");
  std::vector<ServerEntry> e = readServersFile(f);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].name, "DEMO");
  EXPECT_EQ(e[0].path, "/abs/demo.db");
  EXPECT_EQ(e[1].name, "other_1");
  EXPECT_EQ(e[1].path, dir_ + "/rel/o.db");
  EXPECT_EQ(findServer(f, "demo").name, "DEMO");
  try {
    findServer(f, "nope");
    FAIL();
  } catch (const GxException& ex) {
    EXPECT_EQ(ex.exceptionId(), GX_EXC_UNKNOWN_SERVER);
  }
}

TEST_F(ServersFileTest, MissingFileIsEmptyMalformedFileThrows) {
  EXPECT_TRUE(readServersFile(dir_ + "/absent.conf").empty());
  for (const char* text : {"DEMO /x.db\n", "= /x.db\n", "DEMO =\n", "bad name = /x.db\n"}) {
    std::string f = write(text);
    try {
      readServersFile(f);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const GxException& ex) {
      EXPECT_EQ(ex.exceptionId(), GX_EXC_SERVERS_FILE) << text;
    }
  }
}

}  // namespace

namespace {

// Saves and restores an environment variable around a test.
class EnvGuard {
 public:
  explicit EnvGuard(const char* name) : name_(name) {
    const char* v = std::getenv(name);
    had_ = v != nullptr;
    if (had_) old_ = v;
  }
  ~EnvGuard() {
    if (had_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_;
  std::string old_;
};

TEST(GxServersFilePathTest, GxserversThenQelrootThenSystemDirectory) {
  EnvGuard g1("GXSERVERS"), g2("QELROOT");
  setenv("GXSERVERS", "/x/s.conf", 1);
  setenv("QELROOT", "/opt/qel", 1);
  EXPECT_EQ(serversFilePath(), "/x/s.conf");
  unsetenv("GXSERVERS");
  EXPECT_EQ(serversFilePath(), "/opt/qel/gxservers.conf");
  setenv("QELROOT", "/opt/qel/", 1);
  EXPECT_EQ(serversFilePath(), "/opt/qel/gxservers.conf");
  setenv("GXSERVERS", "", 1);  // empty counts as unset
  EXPECT_EQ(serversFilePath(), "/opt/qel/gxservers.conf");
  unsetenv("GXSERVERS");
  unsetenv("QELROOT");
  EXPECT_EQ(serversFilePath(), "/gxservers.conf");
}

}  // namespace
