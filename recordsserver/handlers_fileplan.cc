// FilePlanComponentController operations: components, links,
// supersession, permissions.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "handlers.h"
#include "list_builder.h"
#include "model.h"
#include "soap_message.h"

namespace hollin {
namespace {

constexpr int kMaxDepth = 1000;

struct Page {
  int64_t start;
  int64_t count;  // 0 = all
  int64_t seen = 0;
  // Whether the next row belongs to the page; counts it.
  bool take() {
    int64_t i = seen++;
    return i >= start && (count == 0 || i < start + count);
  }
};

Page page(const Args& args, size_t startIndex) {
  int64_t start = args.num(startIndex), count = args.num(startIndex + 1);
  if (start < 0 || count < 0) throw SoapFault("paging arguments must not be negative");
  return Page{start, count};
}

int64_t attrInt(const pugi::xml_node& e, const char* name, const char* what) {
  pugi::xml_attribute a = e.attribute(name);
  if (!a) throw SoapFault(std::string(what) + " entry without a " + name + " attribute");
  return parseDecimal(a.value(), std::string(what) + " attribute " + name);
}

bool isDateText(const std::string& v) {
  if (isWireDateTime(v)) return true;
  return v.size() == 10 && isWireDateTime(v + "T00:00:00");
}

struct AttrDef {
  std::string type;
  bool required;
  int64_t maxLength;
};

void linkItem(ListBuilder& out, Db& db, int64_t viewId, int64_t componentId, int64_t reldefId) {
  ComponentRow c = requireComponent(db, componentId);
  pugi::xml_node n = out.item();
  setAttr(n, "FlPlnViewID", viewId);
  setAttr(n, "FlPlnCmpntID", c.id);
  setAttr(n, "FlPlnCmpntDefID", c.definitionId);
  setAttr(n, "FlPlnCmpntNm", c.name);
  setAttr(n, "FlPlnRelDefID", reldefId);
}

std::string linkList(CallContext& ctx, const Args& args, bool targets) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    ViewRow view = requireView(db, args.num(0));
    ComponentRow c = requireComponent(db, args.num(1));
    Page p = page(args, 2);
    if (view.kind == "hierarchy") {
      // The hierarchy's links are the placement: children are targets.
      if (targets) {
        Stmt s(db, "SELECT id, definition_id FROM component WHERE parent_id=? ORDER BY id");
        s.bind(1, c.id);
        while (s.step()) {
          if (p.take()) linkItem(out, db, view.id, s.i64(0), relationshipId(db, view.id, c.definitionId, s.i64(1)));
        }
      } else if (c.parentId != 0 && p.take()) {
        ComponentRow parent = requireComponent(db, c.parentId);
        linkItem(out, db, view.id, parent.id, relationshipId(db, view.id, parent.definitionId, c.definitionId));
      }
      return;
    }
    Stmt s(db, targets ? "SELECT target_id, reldef_id FROM link WHERE view_id=? AND source_id=? ORDER BY seq"
                       : "SELECT source_id, reldef_id FROM link WHERE view_id=? AND target_id=? ORDER BY seq");
    s.bind(1, view.id).bind(2, c.id);
    while (s.step()) {
      if (p.take()) linkItem(out, db, view.id, s.i64(0), s.i64(1));
    }
  });
  return out.str();
}

void collectSubtree(Db& db, int64_t root, std::vector<int64_t>& ids) {
  std::vector<int64_t> frontier = {root};
  std::set<int64_t> seen = {root};
  ids.push_back(root);
  for (int depth = 0; !frontier.empty() && depth < kMaxDepth; ++depth) {
    std::vector<int64_t> next;
    for (int64_t id : frontier) {
      Stmt s(db, "SELECT id FROM component WHERE parent_id=?");
      s.bind(1, id);
      while (s.step()) {
        if (seen.insert(s.i64(0)).second) {
          ids.push_back(s.i64(0));
          next.push_back(s.i64(0));
        }
      }
    }
    frontier.swap(next);
  }
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

}  // namespace

std::string addFilePlanComponent(CallContext& ctx, const Args& args) {
  int64_t newId = 0;
  ctx.store.transact([&](Db& db) {
    const Session& session = *ctx.session;
    DefinitionRow def = requireDefinition(db, args.num(0));
    int64_t parentId = args.num(2);
    if (def.kind == "record" && !(userActionMask(db, session) & kActDeclare)) {
      throw SoapFault("user " + session.userName + " may not declare records");
    }
    if (parentId == 0) {
      if (def.kind != "container" || !session.admin) {
        throw SoapFault("only the administrator may add a top-level container");
      }
    } else {
      ComponentRow parent = requireComponent(db, parentId);
      DefinitionRow parentDef = requireDefinition(db, parent.definitionId);
      if (parentDef.kind != "container") {
        throw SoapFault("component " + std::to_string(parentId) + " is not a container");
      }
      if (!relationshipId(db, hierarchyViewId(db), parent.definitionId, def.id)) {
        throw SoapFault("definition " + std::to_string(def.id) + " may not be placed under definition " +
                        std::to_string(parent.definitionId));
      }
      if (!session.admin) requireMask(db, session, parentId, kActAdd, "add to");
    }

    std::map<std::string, AttrDef> defs;
    Stmt d(db, "SELECT column_name, type, required, max_length FROM attr_def WHERE definition_id=?");
    d.bind(1, def.id);
    while (d.step()) defs[d.text(0)] = AttrDef{d.text(1), d.i64(2) != 0, d.i64(3)};

    pugi::xml_document doc;
    pugi::xml_node list = parseListDocument(doc, args.str(1), "attribute document", true);
    std::map<std::string, std::string> values;
    for (pugi::xml_node e = list.first_child(); e; e = e.next_sibling()) {
      if (e.type() != pugi::node_element) continue;
      pugi::xml_attribute col = e.attribute("FlPlnCmpntAttrDefColNm");
      if (!col) throw SoapFault("attribute entry without FlPlnCmpntAttrDefColNm");
      std::string name = col.value();
      auto it = defs.find(name);
      if (it == defs.end()) {
        throw SoapFault("unknown attribute column \"" + name + "\" for definition " + std::to_string(def.id));
      }
      if (values.count(name)) throw SoapFault("attribute column \"" + name + "\" given twice");
      std::string value = e.text().get();
      if (int64_t(value.size()) > it->second.maxLength) {
        throw SoapFault("value of \"" + name + "\" is longer than " + std::to_string(it->second.maxLength));
      }
      if (!value.empty() && it->second.type == "int") parseDecimal(value, "value of \"" + name + "\"");
      if (!value.empty() && it->second.type == "date" && !isDateText(value)) {
        throw SoapFault("value of \"" + name + "\" is not a date: \"" + value.substr(0, 64) + "\"");
      }
      values[name] = value;
    }
    for (const auto& kv : defs) {
      if (kv.second.required && values[kv.first].empty()) {
        throw SoapFault("required attribute \"" + kv.first + "\" is missing or empty");
      }
    }
    auto host = values.find("RecHsID");
    if (host != values.end() && !host->second.empty()) {
      requireHost(db, parseDecimal(host->second, "value of \"RecHsID\""));
    }

    Stmt ins(db,
             "INSERT INTO component(definition_id, parent_id, name, created, created_by)"
             " VALUES(?,?,'',datetime('now','localtime'),?)");
    ins.bind(1, def.id).bind(2, parentId).bind(3, session.accountId).run();
    newId = db.lastInsertId();
    std::string title = def.titleColumn.empty() ? std::string() : values[def.titleColumn];
    if (title.empty()) title = def.name + " " + std::to_string(newId);
    Stmt name(db, "UPDATE component SET name=?, created=replace(created,' ','T') WHERE id=?");
    name.bind(1, title).bind(2, newId).run();
    Stmt attr(db, "INSERT INTO component_attr(component_id, column_name, value) VALUES(?,?,?)");
    for (const auto& kv : values) {
      if (kv.second.empty()) continue;
      attr.reset();
      attr.bind(1, newId).bind(2, kv.first).bind(3, kv.second).run();
    }
  });
  return std::to_string(newId);
}

// Option bits: 0x01 also the component's subtree, 0x02 also its links.
std::string deleteFilePlanComponent(CallContext& ctx, const Args& args) {
  ctx.store.transact([&](Db& db) {
    ComponentRow c = requireComponent(db, args.num(0));
    int64_t option = args.num(1);
    if (option < 0 || option > 3) throw SoapFault("unknown delete option " + args.str(1));
    if (!ctx.session->admin) requireMask(db, *ctx.session, c.id, kActDelete, "delete");
    std::vector<int64_t> ids;
    if (option & 1) {
      collectSubtree(db, c.id, ids);
    } else {
      Stmt ch(db, "SELECT 1 FROM component WHERE parent_id=? LIMIT 1");
      ch.bind(1, c.id);
      if (ch.step()) throw SoapFault("component " + std::to_string(c.id) + " has child components");
      ids.push_back(c.id);
    }
    for (int64_t id : ids) {
      Stmt l(db, "SELECT 1 FROM link WHERE source_id=? OR target_id=? LIMIT 1");
      l.bind(1, id).bind(2, id);
      if (l.step() && !(option & 2)) {
        throw SoapFault("component " + std::to_string(id) + " has links");
      }
    }
    // Children first, so that no row ever points at a deleted parent.
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
      Stmt l(db, "DELETE FROM link WHERE source_id=? OR target_id=?");
      l.bind(1, *it).bind(2, *it).run();
      Stmt del(db, "DELETE FROM component WHERE id=?");
      del.bind(1, *it).run();
    }
  });
  return "";
}

std::string addTarget(CallContext& ctx, const Args& args) {
  ctx.store.transact([&](Db& db) {
    ComponentRow source = requireComponent(db, args.num(0));
    if (!ctx.session->admin) requireMask(db, *ctx.session, source.id, kActLink, "link");
    pugi::xml_document doc;
    pugi::xml_node list = parseListDocument(doc, args.str(1), "links document", false);
    int64_t hierarchy = hierarchyViewId(db);
    for (pugi::xml_node e = list.first_child(); e; e = e.next_sibling()) {
      if (e.type() != pugi::node_element) continue;
      int64_t viewId = attrInt(e, "FlPlnViewID", "links document");
      int64_t targetId = attrInt(e, "FlPlnCmpntID", "links document");
      requireView(db, viewId);
      if (viewId == hierarchy) {
        throw SoapFault("view " + std::to_string(viewId) + " is the file-plan hierarchy; it takes no links");
      }
      ComponentRow target = requireComponent(db, targetId);
      if (target.id == source.id) throw SoapFault("component " + std::to_string(source.id) + " cannot link to itself");
      int64_t rel = relationshipId(db, viewId, source.definitionId, target.definitionId);
      if (!rel) {
        throw SoapFault("view " + std::to_string(viewId) + " has no relationship from definition " +
                        std::to_string(source.definitionId) + " to definition " +
                        std::to_string(target.definitionId));
      }
      Stmt ins(db,
               "INSERT OR IGNORE INTO link(view_id, source_id, target_id, reldef_id, seq)"
               " VALUES(?,?,?,?, (SELECT COALESCE(MAX(seq),0)+1 FROM link))");
      ins.bind(1, viewId).bind(2, source.id).bind(3, target.id).bind(4, rel).run();
    }
  });
  return "";
}

std::string getTargetList(CallContext& ctx, const Args& args) { return linkList(ctx, args, true); }
std::string getSourceList(CallContext& ctx, const Args& args) { return linkList(ctx, args, false); }

// The flag asks for the display text of the field; this server keeps one
// text per field, so it gives the same answer either way.
std::string getFilePlanComponentField(CallContext& ctx, const Args& args) {
  std::string value;
  ctx.store.transact([&](Db& db) {
    ComponentRow c = requireComponent(db, args.num(0));
    for (const auto& col : componentColumns(db, c)) {
      if (col.first == args.str(1)) {
        value = col.second;
        return;
      }
    }
    throw SoapFault("unknown field \"" + args.str(1) + "\" of component " + args.str(0));
  });
  return value;
}

std::string getPermissionList(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    ComponentRow c = requireComponent(db, args.num(0));
    requireHost(db, args.num(1));
    int64_t defId = args.num(2);
    if (defId != 0 && defId != c.definitionId) {
      requireDefinition(db, defId);
      throw SoapFault("definition " + args.str(2) + " is not the definition of component " + args.str(0));
    }
    int64_t owner = permissionOwner(db, c.id);
    Stmt s(db,
           "SELECT group_name, group_type, policy_id, action_mask FROM permission"
           " WHERE component_id=? ORDER BY group_name");
    s.bind(1, owner);
    while (s.step()) {
      pugi::xml_node n = out.item();
      setAttr(n, "UsrGrpNm", s.text(0));
      setAttr(n, "UsrGrpTyp", s.i64(1));
      setAttr(n, "AccCtrlPlcyID", s.i64(2));
      setAttr(n, "FlPlnCmpntActnMsk", s.i64(3));
      setAttr(n, "FlPlnCmpntID", owner);
    }
  });
  return out.str();
}

// Marks each listed component as superseded at the given time. Its
// superseding record is the source of its link in the supersede view
// (made by addTarget beforehand).
std::string supercede(CallContext& ctx, const Args& args) {
  ctx.store.transact([&](Db& db) {
    pugi::xml_document doc;
    pugi::xml_node list = parseListDocument(doc, args.str(0), "supersession document", false);
    std::string when = args.str(1).substr(0, 19);
    for (pugi::xml_node e = list.first_child(); e; e = e.next_sibling()) {
      if (e.type() != pugi::node_element) continue;
      int64_t viewId = attrInt(e, "FlPlnViewID", "supersession document");
      int64_t id = attrInt(e, "FlPlnCmpntID", "supersession document");
      if (requireView(db, viewId).kind != "supersede") {
        throw SoapFault("view " + std::to_string(viewId) + " is not a supersede view");
      }
      requireComponent(db, id);
      Stmt l(db, "SELECT 1 FROM link WHERE view_id=? AND target_id=? LIMIT 1");
      l.bind(1, viewId).bind(2, id);
      if (!l.step()) {
        throw SoapFault("component " + std::to_string(id) + " has no superseding record in view " +
                        std::to_string(viewId));
      }
      // The first supersession stands; a later one keeps its date.
      Stmt u(db, "UPDATE component SET superseded=? WHERE id=? AND superseded IS NULL");
      u.bind(1, when).bind(2, id).run();
    }
  });
  return "";
}

std::string getFilePlanComponentPrimaryViewId(CallContext& ctx, const Args& args) {
  int64_t view = 0;
  ctx.store.transact([&](Db& db) {
    requireComponent(db, args.num(0));
    view = hierarchyViewId(db);
  });
  return std::to_string(view);
}

std::string getEffectiveUserPermissionsList(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    ComponentRow c = requireComponent(db, args.num(0));
    int64_t mask = effectiveMask(db, *ctx.session, c.id);
    int64_t hierarchy = hierarchyViewId(db);
    bool container = requireDefinition(db, c.definitionId).kind == "container";
    Stmt s(db, "SELECT id FROM definition ORDER BY id");
    while (s.step()) {
      int64_t m = mask;
      // Placement needs a container and a hierarchy relationship.
      if (!container || !relationshipId(db, hierarchy, c.definitionId, s.i64(0))) m &= ~kActAdd;
      pugi::xml_node n = out.item();
      setAttr(n, "FlPlnCmpntDefID", s.i64(0));
      setAttr(n, "FlPlnCmpntActnMsk", m);
      setAttr(n, "FlPlnCmpntID", c.id);
    }
  });
  return out.str();
}

// Arguments: component id, view id (0 or the hierarchy view).
std::string getFullPathById(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    ComponentRow c = requireComponent(db, args.num(0));
    int64_t hierarchy = hierarchyViewId(db);
    if (args.num(1) != 0 && args.num(1) != hierarchy) {
      requireView(db, args.num(1));
      throw SoapFault("view " + args.str(1) + " is not the file-plan hierarchy");
    }
    std::vector<ComponentRow> chain = {c};
    while (chain.back().parentId != 0 && chain.size() < size_t(kMaxDepth)) {
      chain.push_back(requireComponent(db, chain.back().parentId));
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      path += "/" + it->name;
      pugi::xml_node n = out.item();
      setAttr(n, "FlPlnCmpntID", it->id);
      setAttr(n, "FlPlnCmpntDefID", it->definitionId);
      setAttr(n, "FlPlnCmpntNm", it->name);
    }
    setAttr(out.list(), "FullPath", path);
  });
  return out.str();
}

std::string getFilePlanComponentById(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    ComponentRow c = requireComponent(db, args.num(0));
    for (const auto& col : componentColumns(db, c)) out.column(col.first, col.second);
  });
  return out.str();
}

std::string getFilePlanComponentStructure(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    ComponentRow root = requireComponent(db, args.num(0));
    // Depth first, children by id.
    std::vector<std::pair<int64_t, int>> stack = {{root.id, 0}};
    std::set<int64_t> seen;
    while (!stack.empty()) {
      auto [id, level] = stack.back();
      stack.pop_back();
      if (!seen.insert(id).second || level > kMaxDepth) continue;
      ComponentRow c = requireComponent(db, id);
      pugi::xml_node n = out.item();
      setAttr(n, "FlPlnCmpntID", c.id);
      setAttr(n, "FlPlnCmpntParentID", c.parentId);
      setAttr(n, "FlPlnCmpntDefID", c.definitionId);
      setAttr(n, "FlPlnCmpntNm", c.name);
      setAttr(n, "Lvl", level);
      Stmt s(db, "SELECT id FROM component WHERE parent_id=? ORDER BY id DESC");
      s.bind(1, id);
      while (s.step()) stack.emplace_back(s.i64(0), level + 1);
    }
  });
  return out.str();
}

// Arguments: a definition id as text, a text to classify. Answers the
// containers that may hold that definition and whose name occurs in the
// text (ignoring case).
std::string getAutoClassifyString(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    DefinitionRow def = requireDefinition(db, parseDecimal(args.str(0), "definition id"));
    std::string text = lower(args.str(1));
    int64_t hierarchy = hierarchyViewId(db);
    Stmt s(db,
           "SELECT c.id, c.name FROM component c JOIN reldef r ON r.view_id=? AND"
           " r.source_def=c.definition_id AND r.target_def=? ORDER BY c.id");
    s.bind(1, hierarchy).bind(2, def.id);
    while (s.step()) {
      std::string name = s.text(1);
      if (name.empty() || text.find(lower(name)) == std::string::npos) continue;
      pugi::xml_node n = out.item();
      setAttr(n, "FlPlnCmpntID", s.i64(0));
      setAttr(n, "FlPlnCmpntNm", name);
    }
  });
  return out.str();
}

// Arguments: change number to start after, paging start and count.
std::string getFilePlanComponentsWithChangedPermissions(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Page p = page(args, 1);
    Stmt s(db,
           "SELECT component_id, MAX(changed_seq) FROM permission GROUP BY component_id"
           " HAVING MAX(changed_seq) > ? ORDER BY component_id");
    s.bind(1, args.num(0));
    while (s.step()) {
      if (!p.take()) continue;
      pugi::xml_node n = out.item();
      setAttr(n, "FlPlnCmpntID", s.i64(0));
      setAttr(n, "PrmChgSeq", s.i64(1));
    }
  });
  return out.str();
}

}  // namespace hollin
