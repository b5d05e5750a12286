#include "internal/hln_message.h"

#include <mutex>
#include <unordered_set>

namespace hln {
namespace {

std::mutex gMutex;
// Never destroyed: a caught pointer may be used until the process ends,
// static destructors included. Node-based, so element addresses are stable.
std::unordered_set<std::string>& store() {
  static auto* s = new std::unordered_set<std::string>;
  return *s;
}

}  // namespace

const char* internText(const std::string& text) {
  std::lock_guard<std::mutex> lock(gMutex);
  auto& s = store();
  auto it = s.find(text);
  if (it != s.end()) return it->c_str();
  if (s.size() >= kMaxInternedTexts) return kStoreFullText;
  return s.insert(text).first->c_str();
}

void throwText(const std::string& text) { throw internText(text); }

size_t internedTextCount() {
  std::lock_guard<std::mutex> lock(gMutex);
  return store().size();
}

}  // namespace hln
