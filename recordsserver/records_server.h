#pragma once
// The HTTP side of the records server: WSDL documents and SOAP endpoints of
// the ten controllers over cpp-httplib.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace hollin {

// The text of recordsserver/seed/default.xml, built in.
extern const char kDefaultSeed[];

struct ServerOptions {
  std::string bind = "127.0.0.1";
  int port = 0;  // 0 = any free port
  std::string db = "hollin-server.db";
  std::string seed;  // loaded into an empty store; the built-in default seed when empty
  size_t maxRequestBytes = 4 * 1024 * 1024;
  size_t threads = 16;
  std::chrono::seconds sessionIdle{1800};
  bool logRequests = true;  // one line per request to stderr
};

class RecordsServer {
 public:
  // Opens the store, seeds it when empty and binds the socket. Throws
  // std::runtime_error naming the reason (bad seed, port taken, ...).
  explicit RecordsServer(const ServerOptions& options);
  ~RecordsServer();
  RecordsServer(const RecordsServer&) = delete;
  RecordsServer& operator=(const RecordsServer&) = delete;

  // The bound port.
  int port() const;

  // Serves until stop(); returns false when serving failed. Blocks.
  bool run();

  // Whether run() is serving.
  bool running() const;

  // Makes run() return after the requests in flight. Thread-safe; not
  // async-signal-safe (call it from a normal thread). A stop() before run()
  // has started serving is lost: wait for running() first.
  void stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace hollin
