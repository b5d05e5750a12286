#pragma once
// Thin RAII helpers over the SQLite C API; every failure becomes a
// GxException with exception id 1 (store failure) and the SQLite code.
#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace gx_internal {

[[noreturn]] void storageError(sqlite3* db, int rc, const std::string& what);

// Fault injection for tests: with n > 0 the n-th store call from now
// (prepare, step or exec; rollbacks excepted) fails as an I/O error; 0 turns
// it off. Process-wide.
void setStoreFaultCountdown(long n);

// Opens an existing server file (or creates it when `create`), with WAL,
// a busy timeout and foreign keys on. Caller closes with sqlite3_close_v2.
sqlite3* openStore(const std::string& path, bool create);
void exec(sqlite3* db, const char* sql);

class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql);
  ~Stmt();
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  Stmt& bind(int i, int64_t v);
  Stmt& bind(int i, const std::string& v);
  Stmt& bindBlob(int i, const std::string& v);
  Stmt& bindNull(int i);
  // True when a row is ready, false when done. Throws on error.
  bool step();
  void run();  // step to completion
  void reset();
  int64_t i64(int c) const;
  std::string text(int c) const;
  std::string blob(int c) const;
  bool isNull(int c) const;
  int changes() const;

 private:
  sqlite3* db_;
  sqlite3_stmt* st_;
};

// One unit of writing. Outside a transaction it is BEGIN IMMEDIATE ... COMMIT;
// inside one it is a savepoint, so that a failing operation leaves the
// transaction as it was. Rolls back in the destructor unless commit() ran.
class WriteScope {
 public:
  WriteScope(sqlite3* db, bool inTransaction);
  ~WriteScope();
  void commit();

 private:
  sqlite3* db_;
  bool nested_;
  bool done_;
};

}  // namespace gx_internal
