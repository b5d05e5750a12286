#pragma once
// Logged-in sessions: a random client key per login, one random handle per
// controller, idle expiry.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hollin {

struct Session {
  std::string clientKey;
  int64_t accountId = 0;
  std::string userName;
  bool admin = false;
  int64_t hostId = 0;  // 0 for a plain account login
  std::string dataSource;
  std::string language;
  std::vector<std::string> groups;  // as sent in the group list, plus the account's own
  std::map<std::string, std::string> handles;  // controller name -> handle
};

using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

class SessionTable {
 public:
  // `idle`: a session unused for longer expires. `clock` is injected for
  // tests; the default is the steady clock.
  // At most `maxSessions` live at once.
  explicit SessionTable(std::chrono::seconds idle, SteadyClock clock = nullptr,
                        size_t maxSessions = 10000);

  // Registers `session` under a new random 128-bit client key (32 hex
  // digits) and creates one handle for each of `controllers`. Returns the
  // client key. Throws SoapFault (soap:Server) when `maxSessions` are live.
  // Thread-safe.
  std::string open(Session session, const std::vector<std::string>& controllers);

  // The session that `handle` opens on `controller` ("ClientController"
  // takes the client key). Throws SoapFault naming the reason (no header,
  // unknown handle, handle of another controller, expired session) and
  // touches the session on success. The copy returned is a snapshot.
  Session check(const std::string& controller, const std::string& handle, bool present);

  // Ends the session of `clientKey`; false when there is none.
  bool close(const std::string& clientKey);

  // Number of live (not yet expired) sessions.
  size_t size();

 private:
  struct Entry {
    Session session;
    std::chrono::steady_clock::time_point lastUse;
  };
  void expireLocked(std::chrono::steady_clock::time_point now);
  void eraseLocked(const std::string& clientKey);

  std::mutex mu_;
  std::chrono::seconds idle_;
  SteadyClock clock_;
  size_t maxSessions_;
  std::map<std::string, Entry> byKey_;
  // handle -> (client key, controller)
  std::map<std::string, std::pair<std::string, std::string>> byHandle_;
  // Handles of sessions that expired, so that a late call hears "expired"
  // rather than "unknown". Bounded.
  std::map<std::string, std::chrono::steady_clock::time_point> expired_;
};

}  // namespace hollin
