#pragma once
// The server file: schema, item type catalog, users.
#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace gx_internal {

struct AttrDef {
  std::string name;
  bool integer = false;
  long maxLength = 0;
  bool nullable = true;
};

struct TypeDef {
  int64_t id = 0;
  std::string name;      // root type name, or component name for a child type
  std::string rootName;  // root type name (= name for a root)
  int64_t parentId = 0;  // 0 for a root type
  short classification = 1;
  std::vector<AttrDef> attrs;
  std::vector<std::pair<std::string, int64_t>> components;  // name, child type id
  bool isRoot() const { return parentId == 0; }
  // "Root" or "Root/Component", as it appears in identifiers.
  std::string pidName() const { return isRoot() ? name : rootName + "/" + name; }
  int attrIndex(const std::string& n) const;  // -1 when unknown
};
using TypeRef = std::shared_ptr<const TypeDef>;

// Item type definitions are only ever added, so a cache that reloads on a
// miss stays correct while other processes define new types.
class Catalog {
 public:
  void clear();
  TypeRef byId(sqlite3* db, int64_t id);          // throws 5 when unknown
  TypeRef root(sqlite3* db, const std::string& name);  // null when unknown
  TypeRef child(sqlite3* db, const std::string& root, const std::string& component);  // null
  std::vector<TypeRef> roots(sqlite3* db);  // by name

 private:
  void load(sqlite3* db);
  std::map<int64_t, TypeRef> byId_;
  bool loaded_ = false;
};

constexpr int kSchemaVersion = 1;
void createSchema(sqlite3* db);
void checkSchema(sqlite3* db, const std::string& path);  // throws 14

// Users. Hash = PBKDF2-HMAC-SHA256(password, 16-byte random salt).
void storePassword(sqlite3* db, const std::string& user, const std::string& password, bool create);
// The user's id as stored when the password matches; "" otherwise.
std::string verifyPassword(sqlite3* db, const std::string& user, const std::string& password);

}  // namespace gx_internal
