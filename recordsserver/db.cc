#include "db.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

namespace hollin {

Db::Db(const std::string& path) {
  // Create the file ourselves so that it never exists with a wider mode:
  // it holds password hashes.
  if (path != ":memory:") {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) throw DbError("cannot open database file " + path);
    ::close(fd);
  }
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw DbError("cannot open database " + path + ": " + msg);
  }
  sqlite3_busy_timeout(db_, 5000);
  exec("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA synchronous=NORMAL;");
}

Db::~Db() { sqlite3_close(db_); }

void Db::exec(const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : sqlite3_errmsg(db_);
    sqlite3_free(err);
    throw DbError(msg);
  }
}

int64_t Db::lastInsertId() const { return sqlite3_last_insert_rowid(db_); }
int Db::changes() const { return sqlite3_changes(db_); }

Stmt::Stmt(Db& db, const char* sql) : db_(db) {
  if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
    throw DbError(std::string("cannot prepare statement: ") + sqlite3_errmsg(db.handle()));
  }
}

Stmt::~Stmt() { sqlite3_finalize(stmt_); }

Stmt& Stmt::bind(int index, int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Stmt& Stmt::bind(int index, const std::string& value) {
  sqlite3_bind_text(stmt_, index, value.data(), int(value.size()), SQLITE_TRANSIENT);
  return *this;
}

Stmt& Stmt::bindNull(int index) {
  sqlite3_bind_null(stmt_, index);
  return *this;
}

bool Stmt::step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  throw DbError(sqlite3_errmsg(db_.handle()));
}

void Stmt::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int64_t Stmt::i64(int col) const { return sqlite3_column_int64(stmt_, col); }

std::string Stmt::text(int col) const {
  const unsigned char* t = sqlite3_column_text(stmt_, col);
  return t ? std::string(reinterpret_cast<const char*>(t), size_t(sqlite3_column_bytes(stmt_, col)))
           : std::string();
}

bool Stmt::isNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }

}  // namespace hollin
