#include "platform/gx/internal/store.h"

#include "platform/gx/internal/gx_throw.h"
#include "platform/gx/internal/sha256.h"
#include "platform/gx/internal/sqlite_util.h"

namespace gx_internal {

int TypeDef::attrIndex(const std::string& n) const {
  for (size_t i = 0; i < attrs.size(); ++i)
    if (attrs[i].name == n) return static_cast<int>(i);
  return -1;
}

void Catalog::clear() {
  byId_.clear();
  loaded_ = false;
}

void Catalog::load(sqlite3* db) {
  std::map<int64_t, std::shared_ptr<TypeDef>> types;
  Stmt t(db, "SELECT id, name, parent_id, classification FROM item_types ORDER BY id");
  while (t.step()) {
    auto d = std::make_shared<TypeDef>();
    d->id = t.i64(0);
    d->name = t.text(1);
    d->parentId = t.i64(2);
    d->classification = static_cast<short>(t.i64(3));
    types[d->id] = d;
  }
  Stmt a(db, "SELECT type_id, name, is_integer, max_length, nullable FROM attributes ORDER BY type_id, pos");
  while (a.step()) {
    auto it = types.find(a.i64(0));
    if (it == types.end()) continue;
    AttrDef ad;
    ad.name = a.text(1);
    ad.integer = a.i64(2) != 0;
    ad.maxLength = static_cast<long>(a.i64(3));
    ad.nullable = a.i64(4) != 0;
    it->second->attrs.push_back(ad);
  }
  for (auto& [id, d] : types) {
    if (d->parentId == 0) {
      d->rootName = d->name;
      continue;
    }
    auto p = types.find(d->parentId);
    if (p == types.end()) continue;
    d->rootName = p->second->name;
    p->second->components.emplace_back(d->name, id);
  }
  byId_.clear();
  for (auto& [id, d] : types) byId_[id] = d;
  loaded_ = true;
}

TypeRef Catalog::byId(sqlite3* db, int64_t id) {
  if (!loaded_) load(db);
  auto it = byId_.find(id);
  if (it == byId_.end()) {
    load(db);
    it = byId_.find(id);
    if (it == byId_.end()) GX_THROW(GX_EXC_UNKNOWN_ITEM_TYPE, "unknown item type id " + std::to_string(id));
  }
  return it->second;
}

TypeRef Catalog::root(sqlite3* db, const std::string& name) {
  for (int pass = 0; pass < 2; ++pass) {
    if (!loaded_ || pass == 1) load(db);
    for (auto& [id, d] : byId_)
      if (d->isRoot() && d->name == name) return d;
  }
  return nullptr;
}

TypeRef Catalog::child(sqlite3* db, const std::string& rootName, const std::string& component) {
  TypeRef r = root(db, rootName);
  if (!r) return nullptr;
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      load(db);
      r = root(db, rootName);
    }
    for (auto& c : r->components)
      if (c.first == component) return byId(db, c.second);
  }
  return nullptr;
}

std::vector<TypeRef> Catalog::roots(sqlite3* db) {
  load(db);  // a listing shows what the server has now
  std::map<std::string, TypeRef> byName;
  for (auto& [id, d] : byId_)
    if (d->isRoot()) byName[d->name] = d;
  std::vector<TypeRef> out;
  for (auto& [n, d] : byName) out.push_back(d);
  return out;
}

void createSchema(sqlite3* db) {
  exec(db, R"SQL(
BEGIN IMMEDIATE;
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE users(name TEXT PRIMARY KEY COLLATE NOCASE, salt BLOB NOT NULL,
                   hash BLOB NOT NULL, iterations INTEGER NOT NULL);
CREATE TABLE user_groups(name TEXT PRIMARY KEY COLLATE NOCASE);
CREATE TABLE members(grp TEXT NOT NULL COLLATE NOCASE REFERENCES user_groups(name) ON DELETE CASCADE,
                     usr TEXT NOT NULL COLLATE NOCASE REFERENCES users(name) ON DELETE CASCADE,
                     PRIMARY KEY(grp, usr));
CREATE TABLE item_types(id INTEGER PRIMARY KEY, name TEXT NOT NULL, parent_id INTEGER NOT NULL DEFAULT 0,
                        classification INTEGER NOT NULL, UNIQUE(parent_id, name));
CREATE TABLE attributes(type_id INTEGER NOT NULL REFERENCES item_types(id), pos INTEGER NOT NULL,
                        name TEXT NOT NULL, is_integer INTEGER NOT NULL, max_length INTEGER NOT NULL,
                        nullable INTEGER NOT NULL, PRIMARY KEY(type_id, name));
CREATE TABLE items(id INTEGER PRIMARY KEY AUTOINCREMENT, type_id INTEGER NOT NULL REFERENCES item_types(id),
                   parent_id INTEGER REFERENCES items(id) ON DELETE CASCADE, seq INTEGER NOT NULL DEFAULT 0,
                   version INTEGER NOT NULL DEFAULT 1, checked_out_by TEXT);
CREATE INDEX items_type ON items(type_id);
CREATE INDEX items_parent ON items(parent_id, seq);
CREATE TABLE item_values(item_id INTEGER NOT NULL REFERENCES items(id) ON DELETE CASCADE,
                         attr TEXT NOT NULL, val TEXT NOT NULL, PRIMARY KEY(item_id, attr)) WITHOUT ROWID;
CREATE INDEX item_values_attr ON item_values(attr, val);
CREATE TABLE parts(item_id INTEGER NOT NULL REFERENCES items(id) ON DELETE CASCADE, seq INTEGER NOT NULL,
                   part_number INTEGER NOT NULL, mime TEXT NOT NULL, content BLOB NOT NULL,
                   PRIMARY KEY(item_id, seq));
CREATE TABLE mime_types(seq INTEGER PRIMARY KEY, mime TEXT NOT NULL UNIQUE, suffixes TEXT NOT NULL);
INSERT INTO meta VALUES('schema', '1');
COMMIT;
)SQL");
}

void checkSchema(sqlite3* db, const std::string& path) {
  bool ok = false;
  try {
    Stmt s(db, "SELECT value FROM meta WHERE key = 'schema'");
    ok = s.step() && s.text(0) == std::to_string(kSchemaVersion);
  } catch (const GxException&) {
    ok = false;
  }
  if (!ok) GX_THROW(GX_EXC_SERVERS_FILE, "file " + path + " is not a server store of this version");
}

namespace {
constexpr uint32_t kIterations = 10000;
constexpr size_t kHashLen = 32;
}  // namespace

void storePassword(sqlite3* db, const std::string& user, const std::string& password, bool create) {
  std::string salt = randomBytes(16);
  std::string hash = pbkdf2Sha256(password, salt, kIterations, kHashLen);
  if (create) {
    Stmt s(db, "INSERT INTO users(name, salt, hash, iterations) VALUES(?, ?, ?, ?)");
    s.bind(1, user).bindBlob(2, salt).bindBlob(3, hash).bind(4, static_cast<int64_t>(kIterations));
    s.run();
  } else {
    Stmt s(db, "UPDATE users SET salt = ?, hash = ?, iterations = ? WHERE name = ?");
    s.bindBlob(1, salt).bindBlob(2, hash).bind(3, static_cast<int64_t>(kIterations)).bind(4, user);
    s.run();
    if (s.changes() == 0) GX_THROW(GX_EXC_UNKNOWN_USER, "unknown user '" + user + "'");
  }
}

std::string verifyPassword(sqlite3* db, const std::string& user, const std::string& password) {
  Stmt s(db, "SELECT name, salt, hash, iterations FROM users WHERE name = ?");
  s.bind(1, user);
  if (!s.step()) {
    // Same work as for a known user, so that timing does not tell which ids exist.
    pbkdf2Sha256(password, std::string(16, '\0'), kIterations, kHashLen);
    return "";
  }
  std::string name = s.text(0), salt = s.blob(1), hash = s.blob(2);
  int64_t it = s.i64(3);
  if (it < 1 || it > 10000000) return "";
  std::string got = pbkdf2Sha256(password, salt, static_cast<uint32_t>(it), hash.size() ? hash.size() : 1);
  return constantTimeEqual(got, hash) ? name : "";
}

}  // namespace gx_internal
