#include "testing/mini_records_server.h"

#include <map>
#include <vector>

#include "hollin_wire.h"

namespace hln_testing {
namespace {

using qelsoap_testing::makeAnswer;
using qelsoap_testing::makeFault11;
using qelsoap_testing::SoapCall;
using qelsoap_testing::SoapReply;
using qelsoap_testing::SoapTestServer;
using qelsoap_testing::TestOp;
using qelsoap_testing::WsdlStyle;

struct Op {
  const char* name;
  const char* args;  // s string, l long, i int, b boolean, d dateTime
  const char* result;
};

const std::map<std::string, std::vector<Op>>& controllers() {
  static const std::map<std::string, std::vector<Op>> kControllers = {
      {"LoginManager", {{"getDataSourceList", "", "string"}, {"getEngineVersion", "", "string"},
                        {"integrationLogin", "sssss", "string"},
                        {"integrationHostLogin", "slssss", "string"},
                        {"integrationHostLoginByName", "ssssss", "string"}}},
      {"ClientController", {{"getConfigurationControllerAsString", "", "string"},
                            {"getComponentDesignControllerAsString", "", "string"},
                            {"getDefinitionControllerAsString", "", "string"},
                            {"getFilePlanComponentControllerAsString", "", "string"},
                            {"getFilePlanDesignControllerAsString", "", "string"},
                            {"getLifeCycleDesignControllerAsString", "", "string"},
                            {"getToolsControllerAsString", "", "string"},
                            {"getUserControllerAsString", "", "string"},
                            {"logout", "", ""}}},
      {"ConfigurationController", {{"getHostList", "", "string"}, {"getHostByID", "l", "string"},
                                   {"getEngineConfigValueList", "", "string"},
                                   {"getEngineConfigValue", "si", "string"},
                                   {"setEngineConfigValue", "sis", ""},
                                   {"deleteEngineConfigValue", "si", ""},
                                   {"getUserConfigValue", "ls", "string"},
                                   {"getNextBarCode", "", "string"}}},
      {"DefinitionController", {{"getComponentDefinitionList", "", "string"},
                                {"getComponentDefinitionById", "l", "string"}}},
      {"FilePlanComponentController", {{"addFilePlanComponent", "lsl", "long"},
                                       {"deleteFilePlanComponent", "li", ""},
                                       {"addTarget", "ls", ""},
                                       {"getFilePlanComponentField", "lsb", "string"},
                                       {"supercede", "sd", ""},
                                       {"getFilePlanComponentPrimaryViewId", "l", "long"}}},
      {"FilePlanDesignController", {{"getFilePlanViewList", "b", "string"}}},
      {"LifeCycleDesignController", {{"getDisposalAuthorityList", "", "string"}}},
      {"ToolsController", {{"addAuditEntry", "lls", ""}}},
      {"UserController", {{"getUserActionMask", "", "long"}, {"getuserid", "", "long"}}},
      {"ComponentDesignController", {{"getDefaultImageById", "l", "string"}}},
  };
  return kControllers;
}

std::vector<TestOp> testOps(const std::vector<Op>& ops) {
  std::vector<TestOp> out;
  for (const Op& op : ops) {
    TestOp t{op.name, {}, op.result};
    int i = 0;
    for (const char* a = op.args; *a; ++a, ++i) {
      const char* type = *a == 's' ? "string" : *a == 'l' ? "long" : *a == 'i' ? "int"
                       : *a == 'b' ? "boolean" : "dateTime";
      t.inputs.push_back({"arg" + std::to_string(i), type});
    }
    out.push_back(t);
  }
  return out;
}

std::string controllerOf(const std::string& service) {
  return service.substr(0, service.size() - std::string("EJBService").size());
}

std::string handleFor(const std::string& controller) { return "H-" + controller; }

}  // namespace

const char* MiniRecordsServer::kClientKey = "client-key-1";

MiniRecordsServer::MiniRecordsServer() {
  for (const auto& [name, ops] : controllers())
    server_.addService(std::string(hollin_wire::kFacadePath) + name + "EJBService.wsdl",
                       name + "EJBService", WsdlStyle::kDocumentWrapped, testOps(ops));
  server_.setHandler([](const SoapCall& c) {
    std::string controller = controllerOf(c.service);
    std::string ns = SoapTestServer::ns(c.service);
    auto fault = [](const std::string& why) {
      return SoapReply{500, "text/xml; charset=utf-8",
                       makeFault11(why, "<Description>" + why + "</Description>"), 0};
    };
    if (controller != "LoginManager") {
      std::string expected = controller == "ClientController" ? kClientKey : handleFor(controller);
      if (c.sessionHandle != expected) return fault("Invalid handle for " + controller);
    }
    if (c.op == "integrationLogin" || c.op == "integrationHostLogin") {
      if (!c.args.at(0) || c.args[0]->empty()) return fault("User name missing");
      return SoapReply{200, "text/xml", makeAnswer(WsdlStyle::kDocumentWrapped, ns, c.op, kClientKey), 0};
    }
    if (c.op.size() > 8 && c.op.compare(c.op.size() - 8, 8, "AsString") == 0) {
      std::string target = c.op.substr(3, c.op.size() - 3 - 8);  // getXAsString -> X
      return SoapReply{200, "text/xml",
                       makeAnswer(WsdlStyle::kDocumentWrapped, ns, c.op, handleFor(target).c_str()), 0};
    }
    if (c.op == "getEngineConfigValue")
      return SoapReply{200, "text/xml",
                       makeAnswer(WsdlStyle::kDocumentWrapped, ns, c.op,
                                  c.args.at(0) ? c.args[0]->c_str() : nullptr), 0};
    if (c.op == "getHostByID" && c.args.at(0) == std::optional<std::string>("404"))
      return fault("No host with id 404");
    const char* result = "<List/>";
    if (c.op == "addFilePlanComponent" || c.op == "getFilePlanComponentPrimaryViewId" ||
        c.op == "getUserActionMask" || c.op == "getuserid")
      result = "7";
    return SoapReply{200, "text/xml", makeAnswer(WsdlStyle::kDocumentWrapped, ns, c.op, result), 0};
  });
}

}  // namespace hln_testing
