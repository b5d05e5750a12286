// Internals: password hashing and the user store, the query parser and the
// servers file.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/gx/gx_exception.h"
#include "platform/gx/internal/query_parser.h"
#include "platform/gx/internal/servers_file.h"
#include "platform/gx/internal/sha256.h"
#include "platform/gx/internal/sqlite_util.h"
#include "platform/gx/internal/store.h"
#include "shared/crypto/random_fault.h"

using namespace gx_internal;

namespace {

// The hash vectors live with the shared implementation (crypto_test); here
// only what the connector adds: its exception, and the user store's format.

TEST(GxHashTest, RandomBytesPassThrough) {
  EXPECT_EQ(randomBytes(16).size(), 16u);
  EXPECT_NE(randomBytes(16), randomBytes(16));
}

TEST(GxHashTest, RandomSourceFailureIsAStorageException) {
  for (int error : {EIO, ENOSYS}) {
    qel::crypto::testing::RandomScript script({qel::crypto::testing::RandomStep{error}});
    try {
      randomBytes(16);
      ADD_FAILURE() << "no throw for errno " << error;
    } catch (const GxException& e) {
      EXPECT_EQ(e.exceptionId(), GX_EXC_STORAGE);
      EXPECT_EQ(std::string(e.description()),
                std::string("no random bytes: ") + std::strerror(error));
    }
  }
}

// A user store in memory with the current schema.
class GxUserStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    createSchema(db_);
  }
  void TearDown() override { sqlite3_close(db_); }

  void insertUser(const std::string& name, const std::string& salt, const std::string& hash,
                  int64_t iterations) {
    Stmt s(db_, "INSERT INTO users(name, salt, hash, iterations) VALUES(?, ?, ?, ?)");
    s.bind(1, name).bindBlob(2, salt).bindBlob(3, hash).bind(4, iterations);
    s.run();
  }

  static std::string unhex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
      out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
  }

  sqlite3* db_ = nullptr;
};

// Rows as earlier versions wrote them (salt, hash and count as stored; the
// hashes computed independently) must keep logging on.
TEST_F(GxUserStoreTest, StoredHashesStayReadable) {
  std::string salt;
  for (int i = 0; i < 16; ++i) salt.push_back(static_cast<char>(i));
  insertUser("qeladmin", salt,
             unhex("53378d3fcc6738cabff36def8e8b959b094a5261bfebd9351ef44548a2ef77dc"), 10000);
  // A row with another count and length is verified by what it says.
  insertUser("short", salt, unhex("00e24ded87dff6fc4077059c61255a00affc00ae"), 3);
  struct Row {
    const char* user;
    const char* password;
    const char* expected;
  } rows[] = {
      {"qeladmin", "QEL-pw 1", "qeladmin"},
      {"QELADMIN", "QEL-pw 1", "qeladmin"},  // names are case-blind; the stored one comes back
      {"qeladmin", "QEL-pw 2", ""},
      {"qeladmin", "", ""},
      {"short", "QEL-pw 1", "short"},
      {"short", "QEL-pw 2", ""},
      {"nobody", "QEL-pw 1", ""},
  };
  for (const Row& r : rows)
    EXPECT_EQ(verifyPassword(db_, r.user, r.password), r.expected) << r.user << "/" << r.password;
}

TEST_F(GxUserStoreTest, StorePasswordWritesSaltHashAndCount) {
  storePassword(db_, "alice", "first", true);
  storePassword(db_, "bob", "first", true);
  Stmt s(db_, "SELECT name, salt, hash, iterations FROM users ORDER BY name");
  std::string salts[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(s.step());
    salts[i] = s.blob(1);
    EXPECT_EQ(salts[i].size(), 16u);
    EXPECT_EQ(s.i64(3), 10000);
    EXPECT_EQ(s.blob(2), qel::crypto::pbkdf2Sha256("first", salts[i], 10000, 32)) << s.text(0);
  }
  EXPECT_NE(salts[0], salts[1]);
  EXPECT_EQ(verifyPassword(db_, "alice", "first"), "alice");

  storePassword(db_, "alice", "second", false);
  EXPECT_EQ(verifyPassword(db_, "alice", "first"), "");
  EXPECT_EQ(verifyPassword(db_, "alice", "second"), "alice");
  EXPECT_EQ(verifyPassword(db_, "bob", "first"), "bob");
}

TEST_F(GxUserStoreTest, NoRandomSourceWritesNothing) {
  storePassword(db_, "alice", "first", true);
  {
    qel::crypto::testing::RandomScript script({{EIO}, {EIO}});
    for (bool create : {true, false}) {
      try {
        storePassword(db_, create ? "carol" : "alice", "second", create);
        ADD_FAILURE() << "no throw, create " << create;
      } catch (const GxException& e) {
        EXPECT_EQ(e.exceptionId(), GX_EXC_STORAGE);
      }
    }
  }
  EXPECT_EQ(verifyPassword(db_, "alice", "first"), "alice");
  EXPECT_EQ(verifyPassword(db_, "carol", "second"), "");
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
