#include "test_client.h"

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace hollin_test {

SoapClient::SoapClient(int port) : http_("127.0.0.1", port) {
  http_.set_keep_alive(true);
  http_.set_tcp_nodelay(true);
}

Reply SoapClient::call(const std::string& controller, const std::string& op, const std::vector<Arg>& args,
                       const std::optional<std::string>& handle) {
  pugi::xml_document doc;
  pugi::xml_node env = doc.append_child("soapenv:Envelope");
  env.append_attribute("xmlns:soapenv") = "http://schemas.xmlsoap.org/soap/envelope/";
  env.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
  if (handle) {
    pugi::xml_node h = env.append_child("soapenv:Header").append_child("h:SessionHandle");
    h.append_attribute("xmlns:h") = "urn:halvor:gre:session";
    h.text().set(handle->c_str());
  }
  pugi::xml_node call = env.append_child("soapenv:Body").append_child(("m:" + op).c_str());
  call.append_attribute("xmlns:m") = ("urn:halvor:gre:facade:" + controller).c_str();
  for (size_t i = 0; i < args.size(); ++i) {
    pugi::xml_node a = call.append_child(("arg" + std::to_string(i)).c_str());
    if (args[i]) {
      a.text().set(args[i]->c_str());
    } else {
      a.append_attribute("xsi:nil") = "true";
    }
  }
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw);
  return post(controller, out.str());
}

Reply SoapClient::post(const std::string& controller, const std::string& body) {
  httplib::Headers headers = {{"SOAPAction", "\"\""}};
  auto res = http_.Post(("/services/" + controller + "EJBService").c_str(), headers, body,
                        "text/xml; charset=utf-8");
  if (!res) {
    ADD_FAILURE() << "no HTTP answer: " << httplib::to_string(res.error());
    return Reply{};
  }
  return parseReply(res->status, res->body);
}

Reply parseReply(int status, const std::string& body) {
  Reply r;
  r.status = status;
  r.body = body;
  pugi::xml_document doc;
  if (!doc.load_string(body.c_str())) return r;
  pugi::xml_node bodyNode = doc.document_element().child("soap:Body");
  pugi::xml_node first = bodyNode.first_child();
  if (std::string(first.name()) == "soap:Fault") {
    r.fault = true;
    r.faultcode = first.child_value("faultcode");
    r.faultstring = first.child_value("faultstring");
    r.description = first.child("detail").child_value("Description");
  } else if (pugi::xml_node ret = first.child("return")) {
    r.hasReturn = true;
    r.result = ret.text().get();
  }
  return r;
}

Login fetchHandles(SoapClient& c, const std::string& clientKey) {
  Login login;
  login.clientKey = clientKey;
  login.handles["ClientController"] = clientKey;
  for (const char* name : {"Configuration", "ComponentDesign", "Definition", "FilePlanComponent",
                           "FilePlanDesign", "LifeCycleDesign", "Tools", "User"}) {
    std::string controller = std::string(name) + "Controller";
    Reply r = c.call("ClientController", "get" + controller + "AsString", {}, clientKey);
    if (r.status != 200 || r.fault) ADD_FAILURE() << "handle of " << controller << ": " << r.body;
    login.handles[controller] = r.result;
  }
  return login;
}

Login loginAccount(SoapClient& c, const std::string& user, const std::string& password,
                   const std::string& groups) {
  Reply r = c.call("LoginManager", "integrationLogin", {user, password, std::string("HollinDS"), groups,
                                                        std::string("en")});
  if (r.status != 200 || r.fault) ADD_FAILURE() << "login of " << user << ": " << r.body;
  return fetchHandles(c, r.result);
}

Login loginHost(SoapClient& c, const std::string& userKey, const std::string& groups) {
  Reply r = c.call("LoginManager", "integrationHostLogin",
                   {userKey, std::string("1"), std::string("host-pw"), std::string("HollinDS"), groups,
                    std::string("en")});
  if (r.status != 200 || r.fault) ADD_FAILURE() << "host login of " << userKey << ": " << r.body;
  return fetchHandles(c, r.result);
}

Reply callAs(SoapClient& c, const Login& login, const std::string& controller, const std::string& op,
             const std::vector<Arg>& args) {
  auto it = login.handles.find(controller);
  return c.call(controller, op, args, it == login.handles.end() ? std::string() : it->second);
}

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "hollin-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string defaultSeedPath() {
  const char* src = std::getenv("QEL_SOURCE_DIR");
  if (src && *src) return std::string(src) + "/recordsserver/seed/default.xml";
  return HOLLIN_DEFAULT_SEED;
}

InProcessServer::InProcessServer(const std::string& dbPath, hollin::ServerOptions options) {
  options.port = 0;
  options.bind = "127.0.0.1";
  options.db = dbPath;
  if (options.seed.empty()) options.seed = defaultSeedPath();
  options.logRequests = false;
  server_ = std::make_unique<hollin::RecordsServer>(options);
  thread_ = std::thread([this] { server_->run(); });
  while (!server_->running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

InProcessServer::~InProcessServer() {
  server_->stop();
  thread_.join();
}

std::vector<std::map<std::string, std::string>> items(const std::string& listXml) {
  std::vector<std::map<std::string, std::string>> out;
  pugi::xml_document doc;
  if (!doc.load_string(listXml.c_str()) || std::string(doc.document_element().name()) != "List") {
    ADD_FAILURE() << "not a <List> answer: " << listXml;
    return out;
  }
  for (pugi::xml_node n : doc.document_element().children("Item")) {
    std::map<std::string, std::string> m;
    for (pugi::xml_attribute a : n.attributes()) m[a.name()] = a.value();
    m["#text"] = n.text().get();
    out.push_back(std::move(m));
  }
  return out;
}

}  // namespace hollin_test
