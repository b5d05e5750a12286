#pragma once
// The records server's request handling, independent of the HTTP layer:
// a SOAP body in, a status and a body out.
#include <chrono>
#include <string>

#include "sessions.h"
#include "store.h"

namespace hollin {

struct SoapAnswer {
  int status = 200;  // 200, or 500 with a fault
  std::string body;
  std::string operation;  // for the request log; empty when unknown
  std::string faultReason;  // for the request log; empty on success
};

class Service {
 public:
  // `store` and `sessions` must outlive the service.
  Service(Store& store, SessionTable& sessions) : store_(store), sessions_(sessions) {}

  // Handles one SOAP request to `controller`'s service. Never throws:
  // every failure becomes a fault (soap:Server for internal errors, whose
  // details go to stderr rather than to the caller). Thread-safe.
  SoapAnswer call(const std::string& controller, const std::string& body);

 private:
  Store& store_;
  SessionTable& sessions_;
};

}  // namespace hollin
