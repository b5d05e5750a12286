#include "platform/gx/internal/sqlite_util.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/gx/internal/gx_throw.h"

namespace gx_internal {
namespace {

std::atomic<long> g_faultCountdown{0};

// True when the injected fault is due now.
bool faultDue() {
  long n = g_faultCountdown.load();
  while (n > 0) {
    if (g_faultCountdown.compare_exchange_weak(n, n - 1)) return n == 1;
  }
  return false;
}

}  // namespace

void setStoreFaultCountdown(long n) { g_faultCountdown = n; }

void storageError(sqlite3* db, int rc, const std::string& what) {
  GxException e(GX_EXC_STORAGE, "store failure: " + what, static_cast<unsigned long>(rc),
                GX_CODE_SEVERE);
  e.addText(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  e.addLocation("sqlite_util.cc", "storageError", __LINE__);
  throw e;
}

sqlite3* openStore(const std::string& path, bool create) {
  if (create) {
    // Create the file ourselves so that it (and the WAL files SQLite derives
    // from it) never exists with a wider mode than 0600: it holds password hashes.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
      GX_THROW(errno == EEXIST ? GX_EXC_DUPLICATE : GX_EXC_SERVERS_FILE,
               "cannot create server file " + path + ": " + std::strerror(errno));
    ::close(fd);
  } else if (::access(path.c_str(), R_OK | W_OK) != 0) {
    GX_THROW(GX_EXC_SERVERS_FILE, "server file " + path + " is not usable: " + std::strerror(errno));
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    GX_THROW(GX_EXC_SERVERS_FILE, "cannot open server file " + path + ": " + msg);
  }
  sqlite3_busy_timeout(db, 10000);
  sqlite3_extended_result_codes(db, 1);
  try {
    exec(db, "PRAGMA journal_mode=WAL");
    exec(db, "PRAGMA foreign_keys=ON");
    exec(db, "PRAGMA synchronous=NORMAL");
  } catch (...) {
    sqlite3_close_v2(db);
    throw;
  }
  return db;
}

void exec(sqlite3* db, const char* sql) {
  if (faultDue()) storageError(db, SQLITE_IOERR, std::string("injected fault: ") + sql);
  char* err = nullptr;
  int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    std::string msg = err ? err : "";
    sqlite3_free(err);
    storageError(db, rc, std::string(sql).substr(0, 60) + ": " + msg);
  }
}

Stmt::Stmt(sqlite3* db, const char* sql) : db_(db), st_(nullptr) {
  if (faultDue()) storageError(db, SQLITE_IOERR, "injected fault (prepare)");
  int rc = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr);
  if (rc != SQLITE_OK) storageError(db, rc, "prepare");
}
Stmt::~Stmt() { sqlite3_finalize(st_); }

Stmt& Stmt::bind(int i, int64_t v) {
  int rc = sqlite3_bind_int64(st_, i, v);
  if (rc != SQLITE_OK) storageError(db_, rc, "bind");
  return *this;
}
Stmt& Stmt::bind(int i, const std::string& v) {
  int rc = sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) storageError(db_, rc, "bind");
  return *this;
}
Stmt& Stmt::bindBlob(int i, const std::string& v) {
  int rc = sqlite3_bind_blob(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) storageError(db_, rc, "bind");
  return *this;
}
Stmt& Stmt::bindNull(int i) {
  int rc = sqlite3_bind_null(st_, i);
  if (rc != SQLITE_OK) storageError(db_, rc, "bind");
  return *this;
}
bool Stmt::step() {
  if (faultDue()) storageError(db_, SQLITE_IOERR, "injected fault (step)");
  int rc = sqlite3_step(st_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  storageError(db_, rc, "step");
}
void Stmt::run() {
  while (step()) {
  }
}
void Stmt::reset() {
  sqlite3_reset(st_);
  sqlite3_clear_bindings(st_);
}
int64_t Stmt::i64(int c) const { return sqlite3_column_int64(st_, c); }
std::string Stmt::text(int c) const {
  const unsigned char* t = sqlite3_column_text(st_, c);
  return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(st_, c)))
           : std::string();
}
std::string Stmt::blob(int c) const {
  const void* b = sqlite3_column_blob(st_, c);
  return b ? std::string(static_cast<const char*>(b), static_cast<size_t>(sqlite3_column_bytes(st_, c)))
           : std::string();
}
bool Stmt::isNull(int c) const { return sqlite3_column_type(st_, c) == SQLITE_NULL; }
int Stmt::changes() const { return sqlite3_changes(db_); }

WriteScope::WriteScope(sqlite3* db, bool inTransaction) : db_(db), nested_(inTransaction), done_(false) {
  exec(db_, nested_ ? "SAVEPOINT gx_op" : "BEGIN IMMEDIATE");
}
WriteScope::~WriteScope() {
  if (done_) return;
  // Best effort: a failing rollback leaves SQLite to roll back on close.
  if (nested_) {
    sqlite3_exec(db_, "ROLLBACK TO gx_op", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "RELEASE gx_op", nullptr, nullptr, nullptr);
  } else {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
}
void WriteScope::commit() {
  exec(db_, nested_ ? "RELEASE gx_op" : "COMMIT");
  done_ = true;
}

}  // namespace gx_internal
