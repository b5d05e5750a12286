#pragma once
// OutputDebugStringA: the debugger output channel. The text is written as
// given (no line feed is added) to the destination named by the environment
// variable QEL_DEBUG_OUTPUT, read on every call: "stderr", or a file path
// (appended to, created with mode 0600). Unset or empty: written nowhere.
// Every active DebugOutputCapture also records it. Thread-safe.
#include <string>
#include <vector>

#include "qelwin_export.h"
#include "wintypes.h"

// A null text is ignored. Never fails, never throws.
QELWIN_API void OutputDebugStringA(LPCSTR text);

// Records every OutputDebugStringA text, from all threads, while it lives.
// Captures may nest; each records everything written during its lifetime.
class QELWIN_API DebugOutputCapture {
 public:
  DebugOutputCapture();
  ~DebugOutputCapture();
  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

  // One entry per call, in call order (a snapshot copy).
  std::vector<std::string> texts() const;
  // All texts concatenated.
  std::string joined() const;
  // Forgets what was recorded so far.
  void clear();

  struct State;  // internal: the recorded texts

 private:
  State* state_;
};
