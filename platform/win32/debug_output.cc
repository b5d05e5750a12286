#include "debug_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "environment.h"

struct DebugOutputCapture::State {
  std::vector<std::string> texts;
};

namespace {

struct Hub {
  std::mutex mu;  // guards `captures` and their texts, and orders writes
  std::vector<DebugOutputCapture::State*> captures;
};

Hub& hub() {
  static Hub* h = new Hub;  // never destroyed: output may happen during exit
  return *h;
}

void writeAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return;  // debugger output never fails its caller
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

}  // namespace

void OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  size_t n = std::strlen(text);
  std::optional<std::string> dest = qelGetEnv("QEL_DEBUG_OUTPUT");
  Hub& h = hub();
  std::lock_guard<std::mutex> lock(h.mu);
  for (DebugOutputCapture::State* s : h.captures) s->texts.emplace_back(text, n);
  if (!dest || dest->empty()) return;
  if (*dest == "stderr") {
    writeAll(STDERR_FILENO, text, n);
    return;
  }
  int fd = ::open(dest->c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  writeAll(fd, text, n);
  ::close(fd);
}

DebugOutputCapture::DebugOutputCapture() : state_(new State) {
  Hub& h = hub();
  std::lock_guard<std::mutex> lock(h.mu);
  h.captures.push_back(state_);
}

DebugOutputCapture::~DebugOutputCapture() {
  {
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mu);
    h.captures.erase(std::remove(h.captures.begin(), h.captures.end(), state_), h.captures.end());
  }
  delete state_;
}

std::vector<std::string> DebugOutputCapture::texts() const {
  std::lock_guard<std::mutex> lock(hub().mu);
  return state_->texts;
}

std::string DebugOutputCapture::joined() const {
  std::lock_guard<std::mutex> lock(hub().mu);
  std::string all;
  for (const std::string& t : state_->texts) all += t;
  return all;
}

void DebugOutputCapture::clear() {
  std::lock_guard<std::mutex> lock(hub().mu);
  state_->texts.clear();
}
