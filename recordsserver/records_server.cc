#include "records_server.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include <httplib.h>

#include "hollin_wire.h"
#include "operations.h"
#include "service.h"
#include "sessions.h"
#include "store.h"
#include "wsdl.h"

namespace hollin {

namespace {

// What the request log names: set by the handler, read by the logger on
// the same worker thread.
thread_local std::string tOperation;
thread_local std::string tFault;

bool plausibleHost(const std::string& host) {
  if (host.empty() || host.size() > 255) return false;
  for (unsigned char c : host) {
    if (!std::isalnum(c) && c != '.' && c != '-' && c != ':' && c != '[' && c != ']' && c != '_') {
      return false;
    }
  }
  return true;
}

}  // namespace

struct RecordsServer::Impl {
  explicit Impl(const ServerOptions& o)
      : options(o), store(o.db), sessions(o.sessionIdle), service(store, sessions) {}

  ServerOptions options;
  Store store;
  SessionTable sessions;
  Service service;
  httplib::Server http;
  int port = 0;

  std::string baseUrl(const httplib::Request& req) const {
    std::string host = req.get_header_value("Host");
    if (!plausibleHost(host)) host = options.bind + ":" + std::to_string(port);
    return "http://" + host + "/";
  }

  void routes() {
    const std::string wsdlPrefix = std::string("/") + hollin_wire::kFacadePath;
    const std::string servicePrefix = std::string("/") + hollin_wire::kServicesPath;
    for (const std::string& controller : controllerNames()) {
      http.Get(wsdlPrefix + controller + "EJBService.wsdl",
               [this, controller](const httplib::Request& req, httplib::Response& res) {
                 tOperation = "wsdl " + controller;
                 res.set_content(buildWsdl(controller, baseUrl(req)), "text/xml; charset=utf-8");
               });
      // "<endpoint>?wsdl", as many SOAP tools ask for it.
      http.Get(servicePrefix + controller + "EJBService",
               [this, controller](const httplib::Request& req, httplib::Response& res) {
                 tOperation = "wsdl " + controller;
                 if (!req.has_param("wsdl")) {
                   res.status = 405;
                   res.set_content("POST SOAP requests here; GET ?wsdl for the WSDL\n", "text/plain");
                   return;
                 }
                 res.set_content(buildWsdl(controller, baseUrl(req)), "text/xml; charset=utf-8");
               });
      http.Post(servicePrefix + controller + "EJBService",
                [this, controller](const httplib::Request& req, httplib::Response& res) {
                  SoapAnswer a = service.call(controller, req.body);
                  tOperation = controller + "." + (a.operation.empty() ? "?" : a.operation);
                  tFault = a.faultReason;
                  res.status = a.status;
                  res.set_content(a.body, "text/xml; charset=utf-8");
                });
    }
    http.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
      if (options.logRequests) {
        std::time_t t = std::time(nullptr);
        std::tm tm{};
        localtime_r(&t, &tm);
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &tm);
        // Bodies carry passwords: only the method, path, operation and the
        // fault's reason (which never quotes a password) are logged.
        std::fprintf(stderr, "%s %s %s %s %d %zu%s%s\n", when, req.remote_addr.c_str(), req.method.c_str(),
                     (tOperation.empty() ? req.path : tOperation).c_str(), res.status, res.body.size(),
                     tFault.empty() ? "" : " fault: ", tFault.c_str());
      }
      tOperation.clear();
      tFault.clear();
    });
  }
};

RecordsServer::RecordsServer(const ServerOptions& options) : impl_(new Impl(options)) {
  if (impl_->store.empty()) {
    if (options.seed.empty()) {
      impl_->store.loadSeedText(kDefaultSeed);
    } else {
      impl_->store.loadSeedFile(options.seed);
    }
  }
  httplib::Server& http = impl_->http;
  http.set_tcp_nodelay(true);  // else every answer waits on a delayed ACK
  http.set_payload_max_length(options.maxRequestBytes);
  // The library's default closes a connection after 5 requests; a SOAP
  // client makes many small calls on one.
  http.set_keep_alive_max_count(10000);
  size_t threads = options.threads == 0 ? 1 : options.threads;
  http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  impl_->routes();
  impl_->port = options.port == 0 ? http.bind_to_any_port(options.bind)
                                  : (http.bind_to_port(options.bind, options.port) ? options.port : -1);
  if (impl_->port <= 0) {
    throw std::runtime_error("cannot listen on " + options.bind + ":" + std::to_string(options.port));
  }
}

RecordsServer::~RecordsServer() { stop(); }

int RecordsServer::port() const { return impl_->port; }

bool RecordsServer::run() { return impl_->http.listen_after_bind(); }

bool RecordsServer::running() const { return impl_->http.is_running(); }

void RecordsServer::stop() { impl_->http.stop(); }

}  // namespace hollin
