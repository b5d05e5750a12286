#pragma once
// HollinServerProcess: the real records server (hollin-server) as a child
// process on a free loopback port, for end-to-end tests and tools.
//
// Construction starts `<build>/bin/hollin-server --port 0 --db <dbPath>
// --seed <seed>` with its request log going to `logPath`, and waits for its
// first line "listening on 127.0.0.1:PORT". stop() sends SIGTERM and waits;
// the destructor stops it too and uses SIGKILL if it does not end in time.
//
// Failure: construction throws std::runtime_error (program missing, the
// server exits or says nothing usable within the start limit); the child is
// then gone. Threading: one thread. Not copyable.
#include <sys/types.h>

#include <string>

struct HollinServerOptions {
  std::string program;   // "" = HollinServerProcess::defaultProgram()
  std::string dbPath;    // REQUIRES: a path in a folder the caller owns
  std::string seedPath;  // "" = HollinServerProcess::defaultSeed()
  std::string logPath;   // "" = the child's standard error stays the caller's
  int startSeconds = 30;  // how long the first line may take
};

class HollinServerProcess {
 public:
  explicit HollinServerProcess(const HollinServerOptions& options);
  ~HollinServerProcess();
  HollinServerProcess(const HollinServerProcess&) = delete;
  HollinServerProcess& operator=(const HollinServerProcess&) = delete;

  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  // "http://127.0.0.1:PORT/"
  std::string url() const;

  // Sends SIGTERM and waits up to `seconds`, then SIGKILL. Returns the exit
  // status (-1 when it had to be killed or was stopped already).
  int stop(int seconds = 20);

  // $QEL_BUILD_DIR/bin/hollin-server, else the program of this build tree.
  static std::string defaultProgram();
  // $QEL_SOURCE_DIR/recordsserver/seed/default.xml, else this source tree's.
  static std::string defaultSeed();

 private:
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  int port_ = 0;
};

// A free loopback port nobody listens on at the moment of the call (for a
// records-server URL that must not answer).
int UnusedLoopbackPort();
