#include "store.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace hollin {

void loadSeed(Db& db, const std::string& text);  // seed.cc

namespace {

constexpr char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS data_source(name TEXT PRIMARY KEY);
CREATE TABLE IF NOT EXISTS account(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, password TEXT,
  is_admin INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS account_group(
  account_id INTEGER NOT NULL REFERENCES account(id), group_name TEXT NOT NULL,
  PRIMARY KEY(account_id, group_name));
CREATE TABLE IF NOT EXISTS host(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, description TEXT NOT NULL DEFAULT '',
  password TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS group_rule(group_name TEXT PRIMARY KEY, action_mask INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS definition(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL, kind TEXT NOT NULL CHECK(kind IN ('container','record')),
  title_column TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS attr_def(
  definition_id INTEGER NOT NULL REFERENCES definition(id), column_name TEXT NOT NULL,
  label TEXT NOT NULL, type TEXT NOT NULL CHECK(type IN ('string','int','date')),
  required INTEGER NOT NULL DEFAULT 0, system INTEGER NOT NULL DEFAULT 0, position INTEGER NOT NULL,
  max_length INTEGER NOT NULL DEFAULT 254,
  PRIMARY KEY(definition_id, column_name));
CREATE TABLE IF NOT EXISTS view(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL,
  kind TEXT NOT NULL CHECK(kind IN ('hierarchy','supersede','version','crossref','link')),
  hidden INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS reldef(
  id INTEGER PRIMARY KEY, view_id INTEGER NOT NULL REFERENCES view(id),
  source_def INTEGER NOT NULL REFERENCES definition(id),
  target_def INTEGER NOT NULL REFERENCES definition(id), name TEXT NOT NULL DEFAULT '',
  UNIQUE(view_id, source_def, target_def));
CREATE TABLE IF NOT EXISTS component(
  id INTEGER PRIMARY KEY, definition_id INTEGER NOT NULL REFERENCES definition(id),
  parent_id INTEGER NOT NULL DEFAULT 0, name TEXT NOT NULL, created TEXT NOT NULL,
  created_by INTEGER NOT NULL DEFAULT 0, superseded TEXT);
CREATE INDEX IF NOT EXISTS component_parent ON component(parent_id);
CREATE TABLE IF NOT EXISTS component_attr(
  component_id INTEGER NOT NULL REFERENCES component(id) ON DELETE CASCADE,
  column_name TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY(component_id, column_name));
CREATE TABLE IF NOT EXISTS link(
  view_id INTEGER NOT NULL, source_id INTEGER NOT NULL REFERENCES component(id) ON DELETE CASCADE,
  target_id INTEGER NOT NULL REFERENCES component(id) ON DELETE CASCADE,
  reldef_id INTEGER NOT NULL, seq INTEGER NOT NULL,
  PRIMARY KEY(view_id, source_id, target_id));
CREATE INDEX IF NOT EXISTS link_target ON link(view_id, target_id);
CREATE TABLE IF NOT EXISTS permission(
  component_id INTEGER NOT NULL REFERENCES component(id) ON DELETE CASCADE,
  group_name TEXT NOT NULL, group_type INTEGER NOT NULL, policy_id INTEGER NOT NULL,
  action_mask INTEGER NOT NULL, changed_seq INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(component_id, group_name));
CREATE TABLE IF NOT EXISTS engine_config(
  key TEXT NOT NULL, scope INTEGER NOT NULL, value TEXT NOT NULL, PRIMARY KEY(key, scope));
CREATE TABLE IF NOT EXISTS user_config(
  account_id INTEGER NOT NULL, key TEXT NOT NULL, value TEXT NOT NULL,
  PRIMARY KEY(account_id, key));
CREATE TABLE IF NOT EXISTS audit(
  id INTEGER PRIMARY KEY, component_id INTEGER NOT NULL, event_code INTEGER NOT NULL,
  text TEXT NOT NULL, account_id INTEGER NOT NULL, at TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS catalog(
  kind TEXT NOT NULL, id INTEGER NOT NULL, owner INTEGER NOT NULL DEFAULT 0,
  name TEXT NOT NULL, value TEXT NOT NULL DEFAULT '', PRIMARY KEY(kind, id));
)sql";

}  // namespace

Store::Store(const std::string& path) : db_(path) { db_.exec(kSchema); }

bool Store::empty() {
  std::lock_guard<std::mutex> lock(mu_);
  Stmt s(db_, "SELECT value FROM meta WHERE key='seeded'");
  return !s.step();
}

void Store::loadSeedFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read seed file " + path);
  std::ostringstream text;
  text << in.rdbuf();
  try {
    loadSeedText(text.str());
  } catch (const std::exception& e) {
    throw std::runtime_error("seed file " + path + ": " + e.what());
  }
}

void Store::loadSeedText(const std::string& text) {
  transact([&](Db& db) {
    loadSeed(db, text);
    db.exec("INSERT OR REPLACE INTO meta(key, value) VALUES('seeded', '1')");
  });
}

void Store::transact(const std::function<void(Db&)>& fn) {
  std::lock_guard<std::mutex> lock(mu_);
  db_.exec("BEGIN IMMEDIATE");
  try {
    fn(db_);
    db_.exec("COMMIT");
  } catch (...) {
    try {
      db_.exec("ROLLBACK");
    } catch (...) {
      // The connection is unusable if even this fails; the next BEGIN reports it.
    }
    throw;
  }
}

}  // namespace hollin
