#pragma once
// The records server's SQLite store: schema, seeding and one transaction
// per call.
#include <functional>
#include <mutex>
#include <string>

#include "db.h"

namespace hollin {

class Store {
 public:
  // Opens or creates the database at `path` (":memory:" for a private one)
  // and creates the schema when missing. Throws DbError.
  explicit Store(const std::string& path);

  // Whether the store holds no data yet (never seeded).
  bool empty();

  // Loads the seed file `path` in one transaction. Throws std::runtime_error
  // naming the fault (file, element, reason); the store is unchanged then.
  // REQUIRES: empty().
  void loadSeedFile(const std::string& path);
  // Same from the seed text itself.
  void loadSeedText(const std::string& text);

  // Runs `fn` inside BEGIN IMMEDIATE ... COMMIT, rolling back when it
  // throws (the exception propagates). Calls are serialised: thread-safe.
  void transact(const std::function<void(Db&)>& fn);

 private:
  std::mutex mu_;
  Db db_;
};

}  // namespace hollin
