#include <algorithm>
#include <atomic>
#include <mutex>
#include <sstream>
#include <vector>

#include "TaVNtraceCapture.h"
#include "internal/capture_registry.h"

namespace qel::trace {
namespace {

struct Registry {
  std::mutex mutex;
  std::vector<TraceCapture*> captures;
  std::atomic<int> active{0};
};

// Never destroyed: libraries may trace from their static destructors.
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

}  // namespace

bool anyCaptureActive() { return registry().active.load(std::memory_order_acquire) > 0; }

void registerCapture(TraceCapture* capture) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.captures.push_back(capture);
  r.active.store(static_cast<int>(r.captures.size()), std::memory_order_release);
}

void unregisterCapture(TraceCapture* capture) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.captures.erase(std::remove(r.captures.begin(), r.captures.end(), capture), r.captures.end());
  r.active.store(static_cast<int>(r.captures.size()), std::memory_order_release);
}

// Holding the registry lock while recording keeps a capture from being
// destroyed under us (its destructor unregisters under the same lock).
void dispatchToCaptures(const TraceLine& line) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (TraceCapture* capture : r.captures) capture->record(line);
}

}  // namespace qel::trace

bool operator==(const TraceLine& a, const TraceLine& b) {
  return a.level == b.level && a.module == b.module && a.function == b.function &&
         a.text == b.text;
}

bool operator!=(const TraceLine& a, const TraceLine& b) { return !(a == b); }

namespace {
// C-style quoting, so that a stray line feed or tab shows in a failure message.
void putQuoted(std::ostream& os, const std::string& s) {
  os << '"';
  for (char c : s) {
    switch (c) {
      case '\n': os << "\\n"; break;
      case '\r': os << "\\r"; break;
      case '\t': os << "\\t"; break;
      case '"': os << "\\\""; break;
      case '\\': os << "\\\\"; break;
      default: os << c; break;
    }
  }
  os << '"';
}
}  // namespace

std::ostream& operator<<(std::ostream& os, const TraceLine& line) {
  os << '{' << line.level << ", ";
  putQuoted(os, line.module);
  os << ", ";
  putQuoted(os, line.function);
  os << ", ";
  putQuoted(os, line.text);
  return os << '}';
}

void PrintTo(const TraceLine& line, std::ostream* os) { *os << line; }

TraceCapture::TraceCapture() { qel::trace::registerCapture(this); }

TraceCapture::~TraceCapture() { qel::trace::unregisterCapture(this); }

void TraceCapture::record(TraceLine line) {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.push_back(std::move(line));
}

template <class Pred>
std::vector<TraceLine> TraceCapture::select(Pred pred) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<TraceLine> out;
  for (const TraceLine& line : lines_) {
    if (pred(line)) out.push_back(line);
  }
  return out;
}

std::vector<TraceLine> TraceCapture::lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<TraceLine> TraceCapture::lines(std::string_view module) const {
  return select([&](const TraceLine& l) { return l.module == module; });
}

std::vector<TraceLine> TraceCapture::lines(std::string_view module,
                                           std::string_view function) const {
  return select(
      [&](const TraceLine& l) { return l.module == module && l.function == function; });
}

namespace {
std::vector<std::string> textsOf(const std::vector<TraceLine>& lines) {
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (const TraceLine& l : lines) out.push_back(l.text);
  return out;
}
}  // namespace

std::vector<std::string> TraceCapture::texts() const { return textsOf(lines()); }

std::vector<std::string> TraceCapture::texts(std::string_view module) const {
  return textsOf(lines(module));
}

std::vector<std::string> TraceCapture::texts(std::string_view module,
                                             std::string_view function) const {
  return textsOf(lines(module, function));
}

std::size_t TraceCapture::count(int level, std::string_view module, std::string_view function,
                                std::string_view text) const {
  return select([&](const TraceLine& l) {
           return l.level == level && l.module == module && l.function == function &&
                  l.text == text;
         }).size();
}

std::size_t TraceCapture::count(std::string_view text) const {
  return select([&](const TraceLine& l) { return l.text == text; }).size();
}

bool TraceCapture::contains(int level, std::string_view module, std::string_view function,
                            std::string_view text) const {
  return count(level, module, function, text) > 0;
}

bool TraceCapture::contains(std::string_view text) const { return count(text) > 0; }

std::size_t TraceCapture::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_.size();
}

void TraceCapture::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

std::string TraceCapture::dump() const {
  std::ostringstream os;
  for (const TraceLine& line : lines()) os << line << '\n';
  return os.str();
}
