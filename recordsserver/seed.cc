// Reading a seed file into an empty store (format in README.md).
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include <pugixml.hpp>

#include "clock_text.h"
#include "db.h"
#include "password_hash.h"

namespace hollin {
namespace {

[[noreturn]] void fail(const pugi::xml_node& node, const std::string& why) {
  throw std::runtime_error("<" + std::string(node.name()) + "> at offset " +
                           std::to_string(node.offset_debug()) + ": " + why);
}

std::string req(const pugi::xml_node& node, const char* attr) {
  pugi::xml_attribute a = node.attribute(attr);
  if (!a) fail(node, std::string("missing attribute ") + attr);
  return a.value();
}

int64_t number(const pugi::xml_node& node, const char* attr, const std::string& text) {
  if (text.empty()) fail(node, std::string("attribute ") + attr + " is empty");
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 0);  // decimal or 0x...
  if (*end != '\0') fail(node, std::string("attribute ") + attr + " is not a number: " + text);
  return v;
}

int64_t reqNum(const pugi::xml_node& node, const char* attr) {
  return number(node, attr, req(node, attr));
}

int64_t optNum(const pugi::xml_node& node, const char* attr, int64_t dflt) {
  pugi::xml_attribute a = node.attribute(attr);
  return a ? number(node, attr, a.value()) : dflt;
}

int64_t positiveId(const pugi::xml_node& node, const char* attr) {
  int64_t v = reqNum(node, attr);
  if (v < 1) fail(node, std::string("attribute ") + attr + " must be 1 or more");
  return v;
}

void run(const pugi::xml_node& node, Stmt& s) {
  try {
    s.run();
  } catch (const DbError& e) {
    fail(node, e.what());
  }
}

bool exists(Db& db, const char* sql, int64_t id) {
  Stmt s(db, sql);
  s.bind(1, id);
  return s.step();
}

void loadComponent(Db& db, const pugi::xml_node& n, const std::string& now) {
  int64_t id = positiveId(n, "id");
  int64_t def = positiveId(n, "definition");
  int64_t parent = optNum(n, "parent", 0);
  if (!exists(db, "SELECT 1 FROM definition WHERE id=?", def)) fail(n, "unknown definition");
  if (parent != 0 && !exists(db, "SELECT 1 FROM component WHERE id=?", parent)) {
    fail(n, "unknown parent (components must follow their parent)");
  }
  Stmt s(db, "INSERT INTO component(id, definition_id, parent_id, name, created) VALUES(?,?,?,?,?)");
  s.bind(1, id).bind(2, def).bind(3, parent).bind(4, req(n, "name")).bind(5, now);
  run(n, s);
  for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    if (std::strcmp(c.name(), "Attr") == 0) {
      std::string column = req(c, "column");
      Stmt k(db, "SELECT 1 FROM attr_def WHERE definition_id=? AND column_name=?");
      k.bind(1, def).bind(2, column);
      if (!k.step()) fail(c, "column " + column + " is not an attribute of the definition");
      Stmt a(db, "INSERT INTO component_attr(component_id, column_name, value) VALUES(?,?,?)");
      a.bind(1, id).bind(2, column).bind(3, std::string(c.text().get()));
      run(c, a);
    } else if (std::strcmp(c.name(), "Permission") == 0) {
      Stmt p(db,
             "INSERT INTO permission(component_id, group_name, group_type, policy_id, action_mask)"
             " VALUES(?,?,?,?,?)");
      p.bind(1, id).bind(2, req(c, "group")).bind(3, optNum(c, "type", 1));
      p.bind(4, optNum(c, "policy", 0)).bind(5, reqNum(c, "mask"));
      run(c, p);
    } else {
      fail(c, "unknown element inside <Component>");
    }
  }
}

}  // namespace

void loadSeed(Db& db, const std::string& text) {
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
  if (!parsed) {
    throw std::runtime_error(std::string("malformed XML: ") + parsed.description() +
                             " at offset " + std::to_string(parsed.offset));
  }
  pugi::xml_node root = doc.document_element();
  if (std::strcmp(root.name(), "HollinSeed") != 0) {
    throw std::runtime_error("the document element must be <HollinSeed>");
  }
  const std::string now = localDateTimeNow();
  for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element) continue;
    const std::string kind = n.name();
    if (kind == "DataSource") {
      Stmt s(db, "INSERT INTO data_source(name) VALUES(?)");
      s.bind(1, req(n, "name"));
      run(n, s);
    } else if (kind == "Account") {
      std::string name = req(n, "name");
      Stmt s(db, "INSERT INTO account(name, password, is_admin) VALUES(?,?,?)");
      s.bind(1, name).bind(2, hashPassword(req(n, "password"))).bind(3, optNum(n, "admin", 0) ? 1 : 0);
      run(n, s);
      int64_t id = db.lastInsertId();
      for (pugi::xml_node g = n.child("Group"); g; g = g.next_sibling("Group")) {
        Stmt m(db, "INSERT INTO account_group(account_id, group_name) VALUES(?,?)");
        m.bind(1, id).bind(2, req(g, "name"));
        run(g, m);
      }
    } else if (kind == "Host") {
      Stmt s(db, "INSERT INTO host(id, name, description, password) VALUES(?,?,?,?)");
      s.bind(1, positiveId(n, "id")).bind(2, req(n, "name"));
      s.bind(3, std::string(n.attribute("description").value()));
      s.bind(4, hashPassword(req(n, "password")));
      run(n, s);
    } else if (kind == "GroupRule") {
      Stmt s(db, "INSERT INTO group_rule(group_name, action_mask) VALUES(?,?)");
      s.bind(1, req(n, "group")).bind(2, reqNum(n, "mask"));
      run(n, s);
    } else if (kind == "Definition") {
      int64_t id = positiveId(n, "id");
      Stmt s(db, "INSERT INTO definition(id, name, kind, title_column) VALUES(?,?,?,?)");
      s.bind(1, id).bind(2, req(n, "name")).bind(3, req(n, "kind"));
      s.bind(4, std::string(n.attribute("titleColumn").value()));
      run(n, s);
      int position = 0;
      for (pugi::xml_node a = n.child("Attribute"); a; a = a.next_sibling("Attribute")) {
        Stmt t(db,
               "INSERT INTO attr_def(definition_id, column_name, label, type, required, system,"
               " position, max_length) VALUES(?,?,?,?,?,?,?,?)");
        std::string column = req(a, "column");
        t.bind(1, id).bind(2, column).bind(3, std::string(a.attribute("label").as_string(column.c_str())));
        t.bind(4, std::string(a.attribute("type").as_string("string")));
        t.bind(5, optNum(a, "required", 0) ? 1 : 0).bind(6, optNum(a, "system", 0) ? 1 : 0);
        t.bind(7, ++position).bind(8, optNum(a, "maxLength", 254));
        run(a, t);
      }
    } else if (kind == "View") {
      Stmt s(db, "INSERT INTO view(id, name, kind, hidden) VALUES(?,?,?,?)");
      s.bind(1, positiveId(n, "id")).bind(2, req(n, "name")).bind(3, req(n, "kind"));
      s.bind(4, optNum(n, "hidden", 0) ? 1 : 0);
      run(n, s);
    } else if (kind == "Relationship") {
      Stmt s(db, "INSERT INTO reldef(id, view_id, source_def, target_def, name) VALUES(?,?,?,?,?)");
      s.bind(1, positiveId(n, "id")).bind(2, positiveId(n, "view"));
      s.bind(3, positiveId(n, "source")).bind(4, positiveId(n, "target"));
      s.bind(5, std::string(n.attribute("name").value()));
      run(n, s);
    } else if (kind == "Component") {
      loadComponent(db, n, now);
    } else if (kind == "EngineConfig") {
      Stmt s(db, "INSERT INTO engine_config(key, scope, value) VALUES(?,?,?)");
      s.bind(1, req(n, "key")).bind(2, optNum(n, "scope", 0)).bind(3, req(n, "value"));
      run(n, s);
    } else if (kind == "UserConfig") {
      Stmt a(db, "SELECT id FROM account WHERE name=?");
      a.bind(1, req(n, "account"));
      if (!a.step()) fail(n, "unknown account");
      Stmt s(db, "INSERT INTO user_config(account_id, key, value) VALUES(?,?,?)");
      s.bind(1, a.i64(0)).bind(2, req(n, "key")).bind(3, req(n, "value"));
      run(n, s);
    } else if (kind == "Catalog") {
      Stmt s(db, "INSERT INTO catalog(kind, id, owner, name, value) VALUES(?,?,?,?,?)");
      s.bind(1, req(n, "kind")).bind(2, positiveId(n, "id")).bind(3, optNum(n, "owner", 0));
      s.bind(4, req(n, "name")).bind(5, std::string(n.text().get()));
      run(n, s);
    } else if (kind == "BarCode") {
      Stmt s(db, "INSERT OR REPLACE INTO meta(key, value) VALUES('barcode_prefix', ?), ('barcode_next', ?)");
      s.bind(1, req(n, "prefix")).bind(2, std::to_string(optNum(n, "next", 1)));
      run(n, s);
    } else {
      fail(n, "unknown element");
    }
  }
  // A relationship, a view or a definition that points at nothing would
  // only surface later as a puzzling answer: refuse it here.
  Stmt fk(db, "PRAGMA foreign_key_check");
  if (fk.step()) throw std::runtime_error("a reference names an unknown id");
  Stmt admin(db, "SELECT 1 FROM account WHERE name='administrator' AND is_admin=1");
  if (!admin.step()) throw std::runtime_error("the seed must define the administrator account");
  Stmt hier(db, "SELECT COUNT(*) FROM view WHERE kind='hierarchy'");
  if (!hier.step() || hier.i64(0) != 1) {
    throw std::runtime_error("the seed must define exactly one view of kind hierarchy");
  }
}

}  // namespace hollin
