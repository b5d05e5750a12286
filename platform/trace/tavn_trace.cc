#include "TaVNtrace.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "TaVNtraceCapture.h"
#include "internal/capture_registry.h"
#include "internal/trace_format.h"

namespace {

int configuredLevel() {
  const char* value = std::getenv("QELTRACE");
  if (value == nullptr || *value == '\0') return 0;
  char* end = nullptr;
  long level = std::strtol(value, &end, 10);
  if (end == value || level < 0) return 0;
  return level > 1000 ? 1000 : static_cast<int>(level);
}

const char* orNull(const char* s) { return s == nullptr ? "(null)" : s; }

// Keeps one call on one line of the output.
void appendEscaped(std::string& out, const char* s) {
  for (; *s != '\0'; ++s) {
    if (*s == '\n') {
      out += "\\n";
    } else if (*s == '\r') {
      out += "\\r";
    } else {
      out.push_back(*s);
    }
  }
}

std::string lineHeader(int level) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm utc{};
  gmtime_r(&now.tv_sec, &utc);
  char buf[128];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03ld [%ld:%ld] %d ",
                utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                utc.tm_sec, static_cast<long>(now.tv_nsec / 1000000), static_cast<long>(getpid()),
                static_cast<long>(syscall(SYS_gettid)), level);
  return buf;
}

void writeAll(int fd, const std::string& data) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

// The file is opened per line: the setting may change between calls and a
// test may remove the file; appends of whole lines keep processes apart.
void emit(const std::string& line) {
  static std::mutex* sinkMutex = new std::mutex;  // outlives static destruction
  std::lock_guard<std::mutex> lock(*sinkMutex);
  const char* path = std::getenv("QELTRACEFILE");
  if (path == nullptr || *path == '\0') {
    writeAll(STDERR_FILENO, line);
    return;
  }
  int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  writeAll(fd, line);
  ::close(fd);
}

}  // namespace

extern "C" int TaVNOutputTraceV(int level, const char* module, const char* function,
                                const char* format, va_list args) {
  try {
    const int maxLevel = configuredLevel();
    const bool write = maxLevel > 0 && level <= maxLevel;
    const bool capture = qel::trace::anyCaptureActive();
    if (!write && !capture) return 0;
    std::string text = qel::trace::formatTrace(format, args);
    if (capture) {
      qel::trace::dispatchToCaptures(TraceLine{level, orNull(module), orNull(function), text});
    }
    if (write) {
      std::string line = lineHeader(level);
      appendEscaped(line, orNull(module));
      line.push_back(' ');
      appendEscaped(line, orNull(function));
      line += ": ";
      appendEscaped(line, text.c_str());
      line.push_back('\n');
      emit(line);
    }
  } catch (...) {
    // A trace call must never disturb its caller.
  }
  return 0;
}

extern "C" int TaVNOutputTrace(int level, const char* module, const char* function,
                               const char* format, ...) {
  va_list args;
  va_start(args, format);
  TaVNOutputTraceV(level, module, function, format, args);
  va_end(args);
  return 0;
}
