// hollin-server as a program: the port line, the request log, a graceful
// stop on SIGTERM, and a restart that keeps the data.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "test_client.h"

namespace hollin_test {
namespace {

std::string serverExe() {
  const char* build = std::getenv("QEL_BUILD_DIR");
  if (build && *build) return std::string(build) + "/bin/hollin-server";
  return HOLLIN_SERVER_EXE;
}

// A hollin-server child process; stderr goes to a file.
class ServerProcess {
 public:
  ServerProcess(const std::vector<std::string>& args, const std::string& errFile) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(err, 2);
      close(out[0]);
      std::vector<char*> argv;
      std::string exe = serverExe();
      argv.push_back(exe.data());
      std::vector<std::string> copy = args;
      for (std::string& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = fdopen(out[0], "r");
  }
  ~ServerProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_) fclose(out_);
  }
  // The first line of standard output, without its line feed.
  std::string firstLine() {
    char buf[256] = {0};
    if (!fgets(buf, sizeof buf, out_)) return "";
    std::string s = buf;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  }
  // Sends `sig` and returns the exit status (or -1 when killed by a signal).
  int stop(int sig) {
    kill(pid_, sig);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
};

int portOf(const std::string& line) {
  const std::string prefix = "listening on 127.0.0.1:";
  if (line.rfind(prefix, 0) != 0) return -1;
  return std::stoi(line.substr(prefix.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ServerProcess, RestartKeepsDataAndStopsGracefully) {
  TempDir dir;
  const std::string db = dir.path() + "/store.db";
  std::string record;
  {
    ServerProcess p({"--port", "0", "--db", db, "--seed", defaultSeedPath()}, dir.path() + "/err1");
    int port = portOf(p.firstLine());
    ASSERT_GT(port, 0);
    SoapClient c(port);
    Login a = loginAccount(c, "administrator", "hollin-admin");
    // A refused login is logged with its reason, never with the password tried.
    EXPECT_TRUE(c.call("LoginManager", "integrationLogin",
                       {std::string("administrator"), std::string("Wr0ngPassw0rd"), std::string("HollinDS"),
                        std::string(""), std::string("")}).fault);
    Reply r = callAs(c, a, "FilePlanComponentController", "addFilePlanComponent",
                     {std::string("20"),
                      std::string("<List><Item FlPlnCmpntAttrDefColNm=\"XtRecID\">k</Item>"
                                  "<Item FlPlnCmpntAttrDefColNm=\"RecHsID\">1</Item></List>"),
                      std::string("101")});
    ASSERT_FALSE(r.fault) << r.body;
    record = r.result;
    ASSERT_FALSE(callAs(c, a, "ConfigurationController", "setEngineConfigValue",
                        {std::string("NXEmailID"), std::string("0"), std::string("77")}).fault);
    // The store holds password hashes: owner only, the WAL too.
    for (const std::string& f : {db, db + "-wal"}) {
      struct stat st {};
      ASSERT_EQ(stat(f.c_str(), &st), 0) << f;
      EXPECT_EQ(st.st_mode & 0777, 0600u) << f;
    }
    c.http().stop();  // else the stop waits for the idle keep-alive connection
    EXPECT_EQ(p.stop(SIGTERM), 0);
    std::string log = readFile(dir.path() + "/err1");
    EXPECT_NE(log.find("POST LoginManager.integrationLogin 200"), std::string::npos) << log;
    EXPECT_NE(log.find("POST FilePlanComponentController.addFilePlanComponent 200"), std::string::npos) << log;
    EXPECT_EQ(log.find("hollin-admin"), std::string::npos) << "password in the log";
    EXPECT_EQ(log.find("Wr0ngPassw0rd"), std::string::npos) << "password in the log";
    EXPECT_NE(log.find("POST LoginManager.integrationLogin 500"), std::string::npos) << log;
    EXPECT_NE(log.find("fault: wrong password for user \"administrator\""), std::string::npos) << log;
  }
  {
    // The seed is not loaded again into a store that has data.
    ServerProcess p({"--port", "0", "--db", db, "--seed", defaultSeedPath(), "--quiet"}, dir.path() + "/err2");
    int port = portOf(p.firstLine());
    ASSERT_GT(port, 0);
    SoapClient c(port);
    Login a = loginAccount(c, "administrator", "hollin-admin");
    EXPECT_EQ(callAs(c, a, "FilePlanComponentController", "getFilePlanComponentField",
                     {record, std::string("XtRecID"), std::string("false")}).result, "k");
    EXPECT_EQ(callAs(c, a, "ConfigurationController", "getEngineConfigValue",
                     {std::string("NXEmailID"), std::string("0")}).result, "77");
    c.http().stop();
    EXPECT_EQ(p.stop(SIGINT), 0);
    EXPECT_EQ(readFile(dir.path() + "/err2").find("POST"), std::string::npos);
  }
}

TEST(ServerProcess, CommandLine) {
  TempDir dir;
  struct Row {
    std::vector<std::string> args;
    int exit;
    std::string firstLine;
  } rows[] = {
      {{"--help"}, 0, "usage: hollin-server [options]"},
      {{"--bogus"}, 2, ""},
      {{"--port", "70000"}, 2, ""},
      {{"--port", "0", "--db", dir.path() + "/x.db", "--seed", dir.path() + "/missing.xml"}, 1, ""},
  };
  for (const Row& r : rows) {
    ServerProcess p(r.args, dir.path() + "/err");
    EXPECT_EQ(p.firstLine(), r.firstLine) << r.args[0];
    EXPECT_EQ(p.wait(), r.exit) << r.args[0];
  }
  EXPECT_NE(readFile(dir.path() + "/err").find("cannot read seed file"), std::string::npos);
}

TEST(ServerProcess, EmptyStoreWithoutSeedFileGetsTheBuiltInSeed) {
  TempDir dir;
  ServerProcess p({"--port", "0", "--db", dir.path() + "/s.db", "--quiet"}, dir.path() + "/err");
  int port = portOf(p.firstLine());
  ASSERT_GT(port, 0);
  SoapClient c(port);
  Login a = loginAccount(c, "administrator", "hollin-admin");
  EXPECT_EQ(callAs(c, a, "ConfigurationController", "getEngineConfigValue",
                   {std::string("NXSprsdViewID"), std::string("0")}).result, "2");
  c.http().stop();
  EXPECT_EQ(p.stop(SIGTERM), 0);
}

TEST(ServerProcess, BadSeedLeavesTheStoreEmpty) {
  TempDir dir;
  std::ofstream(dir.path() + "/bad.xml") << "<HollinSeed><DataSource name=\"A\"/><Host id=\"x\" name=\"h\" password=\"p\"/></HollinSeed>";
  ServerProcess bad({"--port", "0", "--db", dir.path() + "/s.db", "--seed", dir.path() + "/bad.xml"}, dir.path() + "/err");
  EXPECT_EQ(bad.wait(), 1);
  EXPECT_NE(readFile(dir.path() + "/err").find("attribute id is not a number: x"), std::string::npos)
      << readFile(dir.path() + "/err");
  // Nothing of the bad seed stayed: the good seed still loads into the same file.
  ServerProcess good({"--port", "0", "--db", dir.path() + "/s.db", "--seed", defaultSeedPath(), "--quiet"},
                     dir.path() + "/err2");
  int port = portOf(good.firstLine());
  ASSERT_GT(port, 0);
  SoapClient c(port);
  auto sources = items(c.call("LoginManager", "getDataSourceList", {}).result);
  ASSERT_EQ(sources.size(), 1u);
  EXPECT_EQ(sources[0]["JNDIName"], "HollinDS");
  c.http().stop();
  EXPECT_EQ(good.stop(SIGTERM), 0);
}

}  // namespace
}  // namespace hollin_test
