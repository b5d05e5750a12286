#pragma once
// A thin layer over SQLite: one connection, prepared statements with
// positional binding, errors thrown as DbError.
#include <cstdint>
#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace hollin {

class DbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Stmt;

// One SQLite connection. Not thread-safe: the owner serialises its use.
class Db {
 public:
  // Opens (creating when missing) the database file `path`, mode 0600, in
  // WAL mode with a busy timeout. Throws DbError.
  explicit Db(const std::string& path);
  ~Db();
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  // Runs one or more statements without results. Throws DbError.
  void exec(const std::string& sql);
  int64_t lastInsertId() const;
  int changes() const;
  sqlite3* handle() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// A prepared statement. Bind indexes start at 1, column indexes at 0.
class Stmt {
 public:
  Stmt(Db& db, const char* sql);
  ~Stmt();
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  Stmt& bind(int index, int64_t value);
  Stmt& bind(int index, const std::string& value);
  Stmt& bindNull(int index);
  // Advances to the next row: true while there is one. Throws DbError.
  bool step();
  // Runs a statement without results to its end.
  void run() { while (step()) {} }
  void reset();

  int64_t i64(int col) const;
  std::string text(int col) const;
  bool isNull(int col) const;

 private:
  Db& db_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace hollin
