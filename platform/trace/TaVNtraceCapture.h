#pragma once
// Test hook: records trace calls so that tests can assert exact trace lines.
//
//   TraceCapture cap;
//   ... code under test ...
//   EXPECT_THAT(cap.lines("QELHLN", "initialize"),
//               ElementsAre(TraceLine{2, "QELHLN", "initialize", "wsdl = http://..."}));
//   EXPECT_TRUE(cap.contains(1, "QELXml", "loadXMLstring", "unknown error")) << cap.dump();
//
// While a TraceCapture is alive it records every TaVNOutputTrace call of the
// process (all levels, all threads, whatever QELTRACE says) with its text
// already formatted. Captures nest: every live capture records every call made
// while it is alive, so an inner capture sees a subset of an outer one.

#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "TaVNtrace.h"

// One recorded call. A null module, function or format is recorded as "(null)".
struct TraceLine {
  int level = 0;
  std::string module;
  std::string function;
  std::string text;
};

TAVNTRACE_API bool operator==(const TraceLine& a, const TraceLine& b);
TAVNTRACE_API bool operator!=(const TraceLine& a, const TraceLine& b);
// Prints {level, "module", "function", "text"} with the text quoted and
// escaped, as GoogleTest shows it in failure messages.
TAVNTRACE_API std::ostream& operator<<(std::ostream& os, const TraceLine& line);
TAVNTRACE_API void PrintTo(const TraceLine& line, std::ostream* os);

// Thread-safe: the code under test may trace from any thread while the test
// reads. Accessors return copies, in the order the calls were made.
class TAVNTRACE_API TraceCapture {
 public:
  // Starts recording.
  TraceCapture();
  // Stops recording; the capture is dropped.
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  // Every recorded line.
  std::vector<TraceLine> lines() const;
  // Lines written under `module`.
  std::vector<TraceLine> lines(std::string_view module) const;
  // Lines written under `module` and `function`.
  std::vector<TraceLine> lines(std::string_view module, std::string_view function) const;

  // The texts only, of the same selections as lines().
  std::vector<std::string> texts() const;
  std::vector<std::string> texts(std::string_view module) const;
  std::vector<std::string> texts(std::string_view module, std::string_view function) const;

  // Number of lines equal in all four fields.
  std::size_t count(int level, std::string_view module, std::string_view function,
                    std::string_view text) const;
  // Number of lines with exactly this text, whatever level, module, function.
  std::size_t count(std::string_view text) const;
  bool contains(int level, std::string_view module, std::string_view function,
                std::string_view text) const;
  bool contains(std::string_view text) const;

  // Number of recorded lines.
  std::size_t size() const;
  // Forgets what was recorded so far; recording goes on.
  void clear();
  // All recorded lines, one per line, for failure messages.
  std::string dump() const;

  // Internal: called by the trace library for each call.
  void record(TraceLine line);

 private:
  template <class Pred>
  std::vector<TraceLine> select(Pred pred) const;

  mutable std::mutex mutex_;
  std::vector<TraceLine> lines_;
};
