#include "internal/hln_message.h"

namespace hln {

const char* TextStore::intern(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = texts_.find(text);
  if (it != texts_.end()) return it->c_str();
  if (texts_.size() >= limit_) return kStoreFullText;
  return texts_.insert(text).first->c_str();
}

size_t TextStore::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_.size();
}

const char* internText(const std::string& text) {
  static TextStore* store = new TextStore(kMaxInternedTexts);
  return store->intern(text);
}

void throwText(const std::string& text) { throw internText(text); }

}  // namespace hln
