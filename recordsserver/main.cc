// hollin-server: the reference records server (README.md).
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "records_server.h"

namespace {

const char kUsage[] =
    "usage: hollin-server [options]\n"
    "  --port N            port to listen on; 0 picks a free one (default 18080)\n"
    "  --bind ADDR         address to bind (default 127.0.0.1)\n"
    "  --db FILE           SQLite store (default hollin-server.db)\n"
    "  --seed FILE         seed file loaded into an empty store (default: the\n"
    "                      built-in copy of recordsserver/seed/default.xml)\n"
    "  --max-request N     largest request body in bytes (default 4194304)\n"
    "  --threads N         worker threads (default 16)\n"
    "  --session-idle S    seconds after which an unused session expires (default 1800)\n"
    "  --quiet             no request log\n"
    "  --help              this text\n"
    "The first line on standard output is \"listening on ADDR:PORT\".\n";

bool parseCount(const char* text, long min, long max, long& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < min || v > max) return false;
  out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  hollin::ServerOptions options;
  options.port = 18080;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "hollin-server: %s needs a value\n%s", name, kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    long n = 0;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--port") {
      if (!parseCount(value("--port"), 0, 65535, n)) {
        std::fprintf(stderr, "hollin-server: bad --port\n");
        return 2;
      }
      options.port = int(n);
    } else if (a == "--bind") {
      options.bind = value("--bind");
    } else if (a == "--db") {
      options.db = value("--db");
    } else if (a == "--seed") {
      options.seed = value("--seed");
    } else if (a == "--max-request") {
      if (!parseCount(value("--max-request"), 1024, 1L << 30, n)) {
        std::fprintf(stderr, "hollin-server: bad --max-request\n");
        return 2;
      }
      options.maxRequestBytes = size_t(n);
    } else if (a == "--threads") {
      if (!parseCount(value("--threads"), 1, 1024, n)) {
        std::fprintf(stderr, "hollin-server: bad --threads\n");
        return 2;
      }
      options.threads = size_t(n);
    } else if (a == "--session-idle") {
      if (!parseCount(value("--session-idle"), 1, 365L * 24 * 3600, n)) {
        std::fprintf(stderr, "hollin-server: bad --session-idle\n");
        return 2;
      }
      options.sessionIdle = std::chrono::seconds(n);
    } else if (a == "--quiet") {
      options.logRequests = false;
    } else {
      std::fprintf(stderr, "hollin-server: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }

  // Block the stop signals in every thread; one thread waits for them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  try {
    hollin::RecordsServer server(options);
    std::printf("listening on %s:%d\n", options.bind.c_str(), server.port());
    std::fflush(stdout);
    std::thread waiter([&] {
      int sig = 0;
      sigwait(&stopSignals, &sig);
      std::fprintf(stderr, "hollin-server: %s, stopping\n", sig == SIGTERM ? "SIGTERM" : "SIGINT");
      // run() may not have started serving yet.
      for (int i = 0; i < 500 && !server.running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      server.stop();
    });
    bool ok = server.run();
    if (!ok) {
      std::fprintf(stderr, "hollin-server: serving failed\n");
      // Wake the waiter so that it can be joined.
      pthread_kill(waiter.native_handle(), SIGTERM);
    }
    waiter.join();
    return ok ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "hollin-server: %s\n", e.what());
    return 1;
  }
}
