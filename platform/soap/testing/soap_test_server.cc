#include "testing/soap_test_server.h"

#include <httplib.h>
#include <pugixml.hpp>

#include <chrono>
#include <cstring>
#include <thread>

namespace qelsoap_testing {
namespace {

const char* localOf(const char* q) {
  const char* c = std::strchr(q, ':');
  return c ? c + 1 : q;
}

pugi::xml_node child(pugi::xml_node n, const char* local) {
  for (pugi::xml_node c : n.children())
    if (c.type() == pugi::node_element && !std::strcmp(localOf(c.name()), local)) return c;
  return {};
}

bool nil(pugi::xml_node n) {
  for (pugi::xml_attribute a : n.attributes())
    if (!std::strcmp(localOf(a.name()), "nil") && !std::strcmp(a.value(), "true")) return true;
  return false;
}

std::string typeAttr(pugi::xml_node n) {
  for (pugi::xml_attribute a : n.attributes())
    if (!std::strcmp(localOf(a.name()), "type")) return a.value();
  return "";
}

}  // namespace

SoapTestServer::SoapTestServer() : server_(std::make_unique<httplib::Server>()) { start(); }

SoapTestServer::SoapTestServer(const std::string& certFile, const std::string& keyFile)
    : server_(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())), tls_(true) {
  start();
}

void SoapTestServer::start() {
  server_->Get(R"(/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = docs_.find(req.path);
    if (it == docs_.end()) {
      res.status = 404;
      res.set_content("not found", "text/plain");
      return;
    }
    ++wsdlGets_;
    res.set_content(it->second, "text/xml; charset=utf-8");
  });
  server_->Post(R"(/services/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
    SoapCall call;
    call.service = req.matches[1];
    call.soapAction = req.get_header_value("SOAPAction");
    call.contentType = req.get_header_value("Content-Type");
    call.body = req.body;
    pugi::xml_document doc;
    if (doc.load_buffer(req.body.data(), req.body.size())) {
      pugi::xml_node env = doc.document_element();
      if (pugi::xml_node h = child(child(env, "Header"), "SessionHandle"))
        call.sessionHandle = h.text().get();
      pugi::xml_node op;
      for (pugi::xml_node c : child(env, "Body").children())
        if (c.type() == pugi::node_element) {
          op = c;
          break;
        }
      call.op = localOf(op.name());
      for (pugi::xml_node a : op.children()) {
        if (a.type() != pugi::node_element) continue;
        call.args.push_back(nil(a) ? std::nullopt : std::optional<std::string>(a.text().get()));
        call.argTypes.push_back(typeAttr(a));
      }
    }
    Handler h;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(call);
      h = handler_;
    }
    SoapReply reply;
    if (h) reply = h(call);
    if (reply.delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
    res.status = reply.status;
    res.set_content(reply.body, reply.contentType.c_str());
  });
  // A client that keeps its connection open would hold stop() for the
  // whole keep-alive timeout.
  server_->set_keep_alive_timeout(1);
  // Headers and body go out in separate writes: without this each answer
  // waits on a delayed ACK (~40 ms).
  server_->set_tcp_nodelay(true);
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::make_unique<std::thread>([this] { server_->listen_after_bind(); });
  // stop() before the loop runs would be lost and the join would hang.
  while (!server_->is_running()) std::this_thread::yield();
}

SoapTestServer::~SoapTestServer() {
  server_->stop();
  thread_->join();
}

void SoapTestServer::addService(const std::string& path, const std::string& service,
                                WsdlStyle style, const std::vector<TestOp>& ops) {
  addDocument(path, makeWsdl(style, service, ns(service), base() + "services/" + service, ops));
  std::lock_guard<std::mutex> lock(mutex_);
  styles_[service] = style;
}

void SoapTestServer::addDocument(const std::string& path, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  docs_["/" + path] = text;
}

void SoapTestServer::setHandler(Handler h) {
  std::lock_guard<std::mutex> lock(mutex_);
  handler_ = std::move(h);
}

std::string SoapTestServer::base() const {
  return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + "/";
}

std::vector<SoapCall> SoapTestServer::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

int SoapTestServer::wsdlGets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return wsdlGets_;
}

}  // namespace qelsoap_testing
