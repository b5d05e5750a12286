#pragma once
// Thrown message texts of QELHLN (see HLNinterfaces.h for the contract).

#include <mutex>
#include <string>
#include <unordered_set>

namespace hln {

// Limit of distinct run-time texts kept by the process-wide store.
inline constexpr size_t kMaxInternedTexts = 65536;
// Text handed out instead once a store is full.
inline constexpr char kStoreFullText[] = "Unable to invoke SoapClient method: DISP_E_EXCEPTION";

// A set of immutable texts: intern() returns a pointer that stays valid as
// long as the store lives; equal texts give the same pointer. Thread-safe.
class TextStore {
 public:
  explicit TextStore(size_t limit) : limit_(limit) {}
  // kStoreFullText once `limit` distinct texts are kept and `text` is new.
  const char* intern(const std::string& text);
  size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_set<std::string> texts_;  // node-based: element addresses are stable
  size_t limit_;
};

// The process-wide store (never destroyed: a caught pointer may be used
// until the process ends, static destructors included).
const char* internText(const std::string& text);

// Throws internText(text) as a const char*.
[[noreturn]] void throwText(const std::string& text);

}  // namespace hln
