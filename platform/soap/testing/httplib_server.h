#pragma once
// A cpp-httplib server on a free loopback port, stopped by the destructor.

#include <httplib.h>

#include <string>
#include <thread>

namespace qelsoap_testing {

class HttplibServer {
 public:
  HttplibServer() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() before the loop runs would be lost and the join would hang.
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~HttplibServer() {
    server_.stop();
    thread_.join();
  }
  httplib::Server& server() { return server_; }
  int port() const { return port_; }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace qelsoap_testing
