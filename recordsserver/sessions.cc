#include "sessions.h"

#include "password_hash.h"
#include "soap_message.h"

namespace hollin {
namespace {
constexpr size_t kExpiredMemory = 4096;
}

SessionTable::SessionTable(std::chrono::seconds idle, SteadyClock clock, size_t maxSessions)
    : idle_(idle),
      clock_(clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); }),
      maxSessions_(maxSessions) {}

std::string SessionTable::open(Session session, const std::vector<std::string>& controllers) {
  std::lock_guard<std::mutex> lock(mu_);
  auto now = clock_();
  expireLocked(now);
  if (byKey_.size() >= maxSessions_) {
    throw SoapFault("too many open sessions: log out or wait for idle ones to expire", false);
  }
  std::string key;
  do {
    key = toHex(randomBytes(16));
  } while (byKey_.count(key) || byHandle_.count(key));
  session.clientKey = key;
  byHandle_[key] = {key, "ClientController"};
  for (const std::string& c : controllers) {
    if (c == "ClientController" || c == "LoginManager") continue;
    std::string h;
    do {
      h = toHex(randomBytes(16));
    } while (byKey_.count(h) || byHandle_.count(h) || h == key);
    session.handles[c] = h;
    byHandle_[h] = {key, c};
  }
  byKey_[key] = Entry{std::move(session), now};
  return key;
}

Session SessionTable::check(const std::string& controller, const std::string& handle, bool present) {
  std::lock_guard<std::mutex> lock(mu_);
  auto now = clock_();
  expireLocked(now);
  if (!present) throw SoapFault("missing SessionHandle header for " + controller);
  if (handle.empty()) throw SoapFault("empty SessionHandle header for " + controller);
  auto h = byHandle_.find(handle);
  if (h == byHandle_.end()) {
    if (expired_.count(handle)) throw SoapFault("expired handle: the session was idle too long");
    throw SoapFault("unknown handle for " + controller);
  }
  if (h->second.second != controller) {
    throw SoapFault("handle belongs to " + h->second.second + ", not to " + controller);
  }
  Entry& e = byKey_.at(h->second.first);
  e.lastUse = now;
  return e.session;
}

bool SessionTable::close(const std::string& clientKey) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!byKey_.count(clientKey)) return false;
  eraseLocked(clientKey);
  return true;
}

size_t SessionTable::size() {
  std::lock_guard<std::mutex> lock(mu_);
  expireLocked(clock_());
  return byKey_.size();
}

void SessionTable::eraseLocked(const std::string& clientKey) {
  auto it = byKey_.find(clientKey);
  if (it == byKey_.end()) return;
  byHandle_.erase(clientKey);
  for (const auto& kv : it->second.session.handles) byHandle_.erase(kv.second);
  byKey_.erase(it);
}

void SessionTable::expireLocked(std::chrono::steady_clock::time_point now) {
  for (auto it = byKey_.begin(); it != byKey_.end();) {
    if (now - it->second.lastUse > idle_) {
      if (expired_.size() >= kExpiredMemory) expired_.clear();
      expired_[it->first] = now;
      for (const auto& kv : it->second.session.handles) expired_[kv.second] = now;
      std::string key = it->first;
      ++it;
      eraseLocked(key);
    } else {
      ++it;
    }
  }
}

}  // namespace hollin
