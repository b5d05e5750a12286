#pragma once
// A loopback TCP server for transport tests that need misbehaviour no HTTP
// library offers: closing a kept-alive connection silently, never answering.
// Each connection is served by script(connectionIndex, requestIndex, request)
// which returns the bytes to send, or nullopt to close the connection.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qelsoap_testing {

class RawHttpServer {
 public:
  using Script = std::function<std::optional<std::string>(int conn, int req, const std::string&)>;

  explicit RawHttpServer(Script script) : script_(std::move(script)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(fd_, 16);
    thread_ = std::thread([this] { run(); });
  }
  ~RawHttpServer() {
    stop_ = true;
    thread_.join();
    for (auto& t : workers_) t.join();
    ::close(fd_);
  }
  int port() const { return port_; }
  std::string url(const std::string& path = "/") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int connections() const { return connections_; }

  static std::string ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: keep-alive\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
  }

 private:
  void run() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) continue;
      int index = connections_++;
      workers_.emplace_back([this, c, index] { serve(c, index); });
    }
  }
  // Reads one request (headers plus Content-Length body); false on EOF/stop.
  bool readRequest(int c, std::string& buf, std::string& req) {
    for (;;) {
      auto end = buf.find("\r\n\r\n");
      if (end != std::string::npos) {
        size_t len = 0;
        auto cl = buf.find("Content-Length:");
        if (cl != std::string::npos && cl < end) len = std::stoul(buf.substr(cl + 15));
        if (buf.size() >= end + 4 + len) {
          req = buf.substr(0, end + 4 + len);
          buf.erase(0, end + 4 + len);
          return true;
        }
      }
      pollfd p{c, POLLIN, 0};
      if (stop_) return false;
      if (::poll(&p, 1, 20) <= 0) continue;
      char tmp[4096];
      ssize_t n = ::recv(c, tmp, sizeof tmp, 0);
      if (n <= 0) return false;
      buf.append(tmp, static_cast<size_t>(n));
    }
  }
  void serve(int c, int conn) {
    std::string buf, req;
    for (int r = 0; readRequest(c, buf, req); ++r) {
      auto answer = script_(conn, r, req);
      if (!answer) break;
      ::send(c, answer->data(), answer->size(), MSG_NOSIGNAL);
    }
    ::close(c);
  }

  Script script_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
  std::vector<std::thread> workers_;
};

}  // namespace qelsoap_testing
