// Requests per second of hollin-server over keep-alive HTTP:
// getEngineConfigValue (a read) and addFilePlanComponent (a write).
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>
#include <httplib.h>

#include "records_server.h"
#include "service.h"
#include "sessions.h"
#include "store.h"

namespace {

const char kEnvelopeStart[] =
    "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">";

std::string envelope(const std::string& controller, const std::string& op, const std::string& args,
                     const std::string& handle) {
  std::string header;
  if (!handle.empty()) {
    header = "<s:Header><h:SessionHandle xmlns:h=\"urn:halvor:gre:session\">" + handle +
             "</h:SessionHandle></s:Header>";
  }
  return kEnvelopeStart + header + "<s:Body><m:" + op + " xmlns:m=\"urn:halvor:gre:facade:" + controller +
         "\">" + args + "</m:" + op + "></s:Body></s:Envelope>";
}

std::string returnText(const std::string& body) {
  std::smatch m;
  if (std::regex_search(body, m, std::regex("<return>([^<]*)</return>"))) return m[1];
  return "";
}

// One server for the whole run, on a free port, with a store in a temp dir.
class BenchServer {
 public:
  static BenchServer& get() {
    static BenchServer instance;
    return instance;
  }
  int port() const { return server_->port(); }

  // A session's handles for the configuration and file-plan controllers.
  std::pair<std::string, std::string> login() {
    httplib::Client c("127.0.0.1", port());
    auto post = [&](const std::string& controller, const std::string& body) {
      auto r = c.Post(("/services/" + controller + "EJBService").c_str(), body, "text/xml");
      return r ? returnText(r->body) : std::string();
    };
    std::string key = post("LoginManager",
                           envelope("LoginManager", "integrationLogin",
                                    "<arg0>administrator</arg0><arg1>hollin-admin</arg1><arg2>HollinDS</arg2>"
                                    "<arg3/><arg4>en</arg4>",
                                    ""));
    std::string cfg = post("ClientController",
                           envelope("ClientController", "getConfigurationControllerAsString", "", key));
    std::string fpc = post("ClientController",
                           envelope("ClientController", "getFilePlanComponentControllerAsString", "", key));
    return {cfg, fpc};
  }

 private:
  BenchServer() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "hollin-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    dir_ = tmpl;
    hollin::ServerOptions o;
    o.port = 0;
    o.db = dir_ + "/store.db";
    o.logRequests = false;
    server_ = std::make_unique<hollin::RecordsServer>(o);
    thread_ = std::thread([this] { server_->run(); });
    while (!server_->running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~BenchServer() {
    server_->stop();
    thread_.join();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string dir_;
  std::unique_ptr<hollin::RecordsServer> server_;
  std::thread thread_;
};

void runCalls(benchmark::State& state, const std::string& controller, const std::string& body) {
  httplib::Client c("127.0.0.1", BenchServer::get().port());
  c.set_keep_alive(true);
  c.set_tcp_nodelay(true);
  const std::string path = "/services/" + controller + "EJBService";
  for (auto _ : state) {
    auto r = c.Post(path.c_str(), body, "text/xml; charset=utf-8");
    if (!r || r->status != 200) {
      state.SkipWithError("request failed");
      break;
    }
    benchmark::DoNotOptimize(r->body.data());
  }
  state.SetItemsProcessed(state.iterations());  // items/s = requests/s
}

void BM_GetEngineConfigValue(benchmark::State& state) {
  auto handles = BenchServer::get().login();
  runCalls(state, "ConfigurationController",
           envelope("ConfigurationController", "getEngineConfigValue",
                    "<arg0>NXDocumentID</arg0><arg1>0</arg1>", handles.first));
}
BENCHMARK(BM_GetEngineConfigValue)->UseRealTime()->Threads(1)->Threads(4);

void BM_AddFilePlanComponent(benchmark::State& state) {
  auto handles = BenchServer::get().login();
  runCalls(state, "FilePlanComponentController",
           envelope("FilePlanComponentController", "addFilePlanComponent",
                    "<arg0>20</arg0><arg1>&lt;List&gt;"
                    "&lt;Item FlPlnCmpntAttrDefColNm=\"FlPlnCmpntTtl\"&gt;Bench record&lt;/Item&gt;"
                    "&lt;Item FlPlnCmpntAttrDefColNm=\"XtRecID\"&gt;QELLIB::@%@::PID&lt;/Item&gt;"
                    "&lt;Item FlPlnCmpntAttrDefColNm=\"RecHsID\"&gt;1&lt;/Item&gt;&lt;/List&gt;</arg1>"
                    "<arg2>102</arg2>",
                    handles.second));
}
BENCHMARK(BM_AddFilePlanComponent)->UseRealTime()->Threads(1)->Threads(4);

// The same read without HTTP: what the store and the SOAP layer cost.
void BM_GetEngineConfigValueNoHttp(benchmark::State& state) {
  std::string dir = (std::filesystem::temp_directory_path() / "hollin-bench-XXXXXX").string();
  if (!mkdtemp(dir.data())) std::abort();
  {
    hollin::Store store(dir + "/store.db");
    store.loadSeedText(hollin::kDefaultSeed);
    hollin::SessionTable sessions(std::chrono::seconds(600));
    hollin::Service service(store, sessions);
    std::string key = returnText(service.call("LoginManager",
        envelope("LoginManager", "integrationLogin",
                 "<arg0>administrator</arg0><arg1>hollin-admin</arg1><arg2>HollinDS</arg2><arg3/><arg4>en</arg4>", ""))
        .body);
    std::string cfg = returnText(service.call("ClientController",
        envelope("ClientController", "getConfigurationControllerAsString", "", key)).body);
    std::string body = envelope("ConfigurationController", "getEngineConfigValue",
                                "<arg0>NXDocumentID</arg0><arg1>0</arg1>", cfg);
    for (auto _ : state) {
      hollin::SoapAnswer a = service.call("ConfigurationController", body);
      if (a.status != 200) {
        state.SkipWithError("call failed");
        break;
      }
    }
    state.SetItemsProcessed(state.iterations());
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_GetEngineConfigValueNoHttp);

}  // namespace

BENCHMARK_MAIN();
