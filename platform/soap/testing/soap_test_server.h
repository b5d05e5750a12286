#pragma once
// A small SOAP server for tests and benchmarks: serves WSDL documents (any
// style of test_wsdl.h) and answers posts through a handler. Runs on a free
// loopback port; the destructor stops it.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <string>
#include <vector>

#include "testing/test_wsdl.h"

namespace httplib {
class Server;
struct Response;
}  // namespace httplib

namespace qelsoap_testing {

struct SoapCall {
  std::string service;
  std::string op;                                   // local name of the body element
  std::vector<std::optional<std::string>> args;     // child texts in order, nullopt = nil
  std::vector<std::string> argTypes;                // xsi:type values ("" when absent)
  std::optional<std::string> sessionHandle;         // text of the header element, if any
  std::string soapAction;
  std::string contentType;
  std::string body;
};

// What a handler answers.
struct SoapReply {
  int status = 200;
  std::string contentType = "text/xml; charset=utf-8";
  std::string body;
  int delayMs = 0;  // wait before answering (timeout tests)
};

class SoapTestServer {
 public:
  using Handler = std::function<SoapReply(const SoapCall&)>;

  // Plain HTTP; or https with the given PEM certificate and key files.
  SoapTestServer();
  SoapTestServer(const std::string& certFile, const std::string& keyFile);
  ~SoapTestServer();
  SoapTestServer(const SoapTestServer&) = delete;
  SoapTestServer& operator=(const SoapTestServer&) = delete;

  // Serves <base>/<path> as a WSDL for `service` (endpoint
  // <base>/services/<service>) with the given style and operations.
  void addService(const std::string& path, const std::string& service, WsdlStyle style,
                  const std::vector<TestOp>& ops);
  // Serves any document at a path (imports, broken WSDLs).
  void addDocument(const std::string& path, const std::string& text);
  void setHandler(Handler h);

  std::string base() const;  // "http(s)://127.0.0.1:<port>/"
  int port() const { return port_; }
  std::vector<SoapCall> calls() const;
  int wsdlGets() const;
  // The namespace a service's WSDL declares.
  static std::string ns(const std::string& service) { return "urn:test:" + service; }

 private:
  void start();

  std::unique_ptr<httplib::Server> server_;
  bool tls_ = false;
  int port_ = 0;
  std::unique_ptr<std::thread> thread_;
  mutable std::mutex mutex_;
  std::map<std::string, std::string> docs_;
  std::map<std::string, WsdlStyle> styles_;
  Handler handler_;
  std::vector<SoapCall> calls_;
  int wsdlGets_ = 0;
};

}  // namespace qelsoap_testing
