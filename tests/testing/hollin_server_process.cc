#include "hollin_server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace {

std::string envOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v != nullptr && *v != '\0') ? std::string(v) : fallback;
}

// Reads up to the first line feed, for at most `seconds`. Empty when the
// child closed its output or said nothing in time.
std::string readFirstLine(int fd, int seconds) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return "";
    pollfd p{fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return "";
    char c;
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return "";
    if (c == '\n') return line;
    line += c;
  }
}

}  // namespace

std::string HollinServerProcess::defaultProgram() {
#ifdef QEL_E2E_HOLLIN_SERVER
  const std::string built = QEL_E2E_HOLLIN_SERVER;
#else
  const std::string built = "hollin-server";
#endif
  const char* dir = std::getenv("QEL_BUILD_DIR");
  return (dir != nullptr && *dir != '\0') ? std::string(dir) + "/bin/hollin-server" : built;
}

std::string HollinServerProcess::defaultSeed() {
#ifdef QEL_E2E_SOURCE_DIR
  const std::string source = QEL_E2E_SOURCE_DIR;
#else
  const std::string source = ".";
#endif
  return envOr("QEL_SOURCE_DIR", source) + "/recordsserver/seed/default.xml";
}

HollinServerProcess::HollinServerProcess(const HollinServerOptions& options) {
  const std::string program = options.program.empty() ? defaultProgram() : options.program;
  const std::string seed = options.seedPath.empty() ? defaultSeed() : options.seedPath;
  if (access(program.c_str(), X_OK) != 0)
    throw std::runtime_error("hollin-server not found at " + program);

  std::vector<std::string> args = {program, "--port", "0", "--db", options.dbPath, "--seed", seed};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  if (!options.logPath.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, options.logPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
  }
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
  }
  pid_ = pid;
  stdoutFd_ = fds[0];

  const std::string line = readFirstLine(stdoutFd_, options.startSeconds);
  const std::string prefix = "listening on ";
  const size_t colon = line.rfind(':');
  if (line.compare(0, prefix.size(), prefix) == 0 && colon != std::string::npos)
    port_ = std::atoi(line.c_str() + colon + 1);
  if (port_ <= 0) {
    stop(5);
    throw std::runtime_error("hollin-server did not start (first line \"" + line + "\")");
  }
}

HollinServerProcess::~HollinServerProcess() { stop(); }

std::string HollinServerProcess::url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

int HollinServerProcess::stop(int seconds) {
  if (pid_ <= 0) return -1;
  int status = 0;
  bool ended = false;
  if (kill(pid_, SIGTERM) == 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_ || (r < 0 && errno != EINTR)) {
        ended = r == pid_;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (!ended) {
    kill(pid_, SIGKILL);
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  pid_ = -1;
  if (stdoutFd_ >= 0) close(stdoutFd_);
  stdoutFd_ = -1;
  return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int UnusedLoopbackPort() {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  close(s);
  if (port == 0) throw std::runtime_error("no free loopback port");
  return port;
}
