#pragma once
// A minimal records server for end-to-end tests and the benchmark: the ten
// controllers' WSDLs (document/literal wrapped) under the facade path, a
// login that issues a client key, one handle per controller, and a check of
// the session header on every controller call. Other operations answer
// "<List/>" (strings) or 7 (numbers); "echo" behaviour: getEngineConfigValue
// returns its first argument. Faults name the reason in <Description>.

#include <memory>
#include <string>

#include "testing/soap_test_server.h"

namespace hln_testing {

class MiniRecordsServer {
 public:
  MiniRecordsServer();
  // Base URL to give HLNinterfaces::initialize.
  std::string url() const { return server_.base(); }
  qelsoap_testing::SoapTestServer& server() { return server_; }
  static const char* kClientKey;

 private:
  qelsoap_testing::SoapTestServer server_;
};

}  // namespace hln_testing
