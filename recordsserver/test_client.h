#pragma once
// Test helpers: a raw SOAP-over-HTTP client (httplib::Client, not the
// project's SOAP client) and an in-process server on a free loopback port.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "records_server.h"

namespace hollin_test {

struct Reply {
  int status = 0;
  std::string body;
  bool fault = false;
  std::string result;  // text of <return>, unescaped
  bool hasReturn = false;
  std::string faultcode, faultstring, description;
};

// An argument: its text, or nullopt for xsi:nil.
using Arg = std::optional<std::string>;

class SoapClient {
 public:
  explicit SoapClient(int port);
  // Posts op to controller's service; `handle` goes into the SessionHandle
  // header unless nullopt.
  Reply call(const std::string& controller, const std::string& op, const std::vector<Arg>& args,
             const std::optional<std::string>& handle = std::nullopt);
  // Posts a raw body.
  Reply post(const std::string& controller, const std::string& body);
  httplib::Client& http() { return http_; }

 private:
  httplib::Client http_;
};

Reply parseReply(int status, const std::string& body);

// A logged-in session: the client key and one handle per controller.
struct Login {
  std::string clientKey;
  std::map<std::string, std::string> handles;
};

// Logs in as `user`/`password` on data source "HollinDS" and fetches every
// handle; fails the current test (ADD_FAILURE) when anything is refused.
Login loginAccount(SoapClient& c, const std::string& user, const std::string& password,
                   const std::string& groups = "");
// Host login with host 1 of the default seed.
Login loginHost(SoapClient& c, const std::string& userKey, const std::string& groups);
// Fetches the eight controller handles for a client key.
Login fetchHandles(SoapClient& c, const std::string& clientKey);

// Calls op on a controller with the session's handle for it.
Reply callAs(SoapClient& c, const Login& login, const std::string& controller, const std::string& op,
             const std::vector<Arg>& args);

// A temporary directory removed with its content at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The default seed file of the source tree.
std::string defaultSeedPath();

// A server running in this process on a free loopback port.
class InProcessServer {
 public:
  explicit InProcessServer(const std::string& dbPath, hollin::ServerOptions options = {});
  ~InProcessServer();
  int port() const { return server_->port(); }

 private:
  std::unique_ptr<hollin::RecordsServer> server_;
  std::thread thread_;
};

// The <Item> elements of a <List> answer as attribute maps; "#text" holds
// an item's text. Fails the current test when the answer is not a List.
std::vector<std::map<std::string, std::string>> items(const std::string& listXml);

}  // namespace hollin_test
