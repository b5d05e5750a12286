#include "model.h"

#include <cerrno>
#include <cstdlib>

#include "soap_message.h"

namespace hollin {

ComponentRow requireComponent(Db& db, int64_t id) {
  Stmt s(db,
         "SELECT id, definition_id, parent_id, name, created, created_by, superseded"
         " FROM component WHERE id=?");
  s.bind(1, id);
  if (!s.step()) throw SoapFault("unknown file-plan component id " + std::to_string(id));
  ComponentRow c;
  c.id = s.i64(0);
  c.definitionId = s.i64(1);
  c.parentId = s.i64(2);
  c.name = s.text(3);
  c.created = s.text(4);
  c.createdBy = s.i64(5);
  c.superseded = s.text(6);
  return c;
}

DefinitionRow requireDefinition(Db& db, int64_t id) {
  Stmt s(db, "SELECT id, name, kind, title_column FROM definition WHERE id=?");
  s.bind(1, id);
  if (!s.step()) throw SoapFault("unknown component definition id " + std::to_string(id));
  return DefinitionRow{s.i64(0), s.text(1), s.text(2), s.text(3)};
}

ViewRow requireView(Db& db, int64_t id) {
  Stmt s(db, "SELECT id, name, kind, hidden FROM view WHERE id=?");
  s.bind(1, id);
  if (!s.step()) throw SoapFault("unknown file-plan view id " + std::to_string(id));
  return ViewRow{s.i64(0), s.text(1), s.text(2), s.i64(3) != 0};
}

int64_t hierarchyViewId(Db& db) {
  Stmt s(db, "SELECT id FROM view WHERE kind='hierarchy' ORDER BY id LIMIT 1");
  if (!s.step()) throw SoapFault("the server has no file-plan hierarchy view", false);
  return s.i64(0);
}

void requireHost(Db& db, int64_t id) {
  Stmt s(db, "SELECT 1 FROM host WHERE id=?");
  s.bind(1, id);
  if (!s.step()) throw SoapFault("unknown host id " + std::to_string(id));
}

bool groupMatches(const std::string& group, const std::string& ruleGroup) {
  static const std::string kSep = "::@%@::";
  if (group == ruleGroup) return true;
  return group.size() > ruleGroup.size() + kSep.size() &&
         group.compare(group.size() - ruleGroup.size(), ruleGroup.size(), ruleGroup) == 0 &&
         group.compare(group.size() - ruleGroup.size() - kSep.size(), kSep.size(), kSep) == 0;
}

int64_t userActionMask(Db& db, const Session& session) {
  if (session.admin) return kActAll;
  int64_t mask = 0;
  Stmt s(db, "SELECT group_name, action_mask FROM group_rule");
  while (s.step()) {
    for (const std::string& g : session.groups) {
      if (groupMatches(g, s.text(0))) {
        mask |= s.i64(1);
        break;
      }
    }
  }
  return mask;
}

int64_t permissionOwner(Db& db, int64_t componentId) {
  // Bounded walk: a damaged parent chain must not hang a request.
  for (int depth = 0; componentId != 0 && depth < 1000; ++depth) {
    Stmt p(db, "SELECT 1 FROM permission WHERE component_id=? LIMIT 1");
    p.bind(1, componentId);
    if (p.step()) return componentId;
    Stmt up(db, "SELECT parent_id FROM component WHERE id=?");
    up.bind(1, componentId);
    if (!up.step()) return 0;
    componentId = up.i64(0);
  }
  return 0;
}

int64_t effectiveMask(Db& db, const Session& session, int64_t componentId) {
  if (session.admin) return kActAll;
  int64_t owner = permissionOwner(db, componentId);
  if (owner == 0) return 0;
  int64_t mask = 0;
  Stmt s(db, "SELECT group_name, action_mask FROM permission WHERE component_id=?");
  s.bind(1, owner);
  while (s.step()) {
    for (const std::string& g : session.groups) {
      if (groupMatches(g, s.text(0))) {
        mask |= s.i64(1);
        break;
      }
    }
  }
  return mask;
}

void requireMask(Db& db, const Session& session, int64_t componentId, int64_t bits,
                 const char* what) {
  if ((effectiveMask(db, session, componentId) & bits) != bits) {
    throw SoapFault("user " + session.userName + " lacks permission to " + what + " component " +
                    std::to_string(componentId));
  }
}

int64_t relationshipId(Db& db, int64_t viewId, int64_t sourceDef, int64_t targetDef) {
  Stmt s(db, "SELECT id FROM reldef WHERE view_id=? AND source_def=? AND target_def=?");
  s.bind(1, viewId).bind(2, sourceDef).bind(3, targetDef);
  return s.step() ? s.i64(0) : 0;
}

std::vector<std::pair<std::string, std::string>> componentColumns(Db& db, const ComponentRow& c) {
  std::vector<std::pair<std::string, std::string>> cols = {
      {"FlPlnCmpntID", std::to_string(c.id)},
      {"FlPlnCmpntDefID", std::to_string(c.definitionId)},
      {"FlPlnCmpntParentID", std::to_string(c.parentId)},
      {"FlPlnCmpntNm", c.name},
      {"FlPlnCmpntCrtDt", c.created},
      {"FlPlnCmpntSprsdDt", c.superseded},
  };
  Stmt s(db,
         "SELECT d.column_name, COALESCE(a.value, '') FROM attr_def d LEFT JOIN component_attr a"
         " ON a.component_id=? AND a.column_name=d.column_name"
         " WHERE d.definition_id=? ORDER BY d.position");
  s.bind(1, c.id).bind(2, c.definitionId);
  while (s.step()) cols.emplace_back(s.text(0), s.text(1));
  return cols;
}

pugi::xml_node parseListDocument(pugi::xml_document& doc, const std::string& text,
                                 const char* what, bool lastChild) {
  pugi::xml_parse_result r = doc.load_buffer(text.data(), text.size());
  if (!r) {
    throw SoapFault(std::string("malformed XML in ") + what + ": " + r.description() +
                    " at offset " + std::to_string(r.offset));
  }
  // Declarations, comments and processing instructions are not kept by the
  // default parse, so the first and last child differ only for a document
  // with several top-level elements, which pugixml refuses anyway.
  pugi::xml_node list = lastChild ? doc.last_child() : doc.first_child();
  if (!list || list.type() != pugi::node_element) {
    throw SoapFault(std::string(what) + " holds no list element");
  }
  return list;
}

int64_t parseDecimal(const std::string& text, const std::string& what) {
  size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  bool ok = i < text.size();
  for (size_t j = i; ok && j < text.size(); ++j) ok = text[j] >= '0' && text[j] <= '9';
  errno = 0;
  long long v = ok ? std::strtoll(text.c_str(), nullptr, 10) : 0;
  if (!ok || errno != 0) throw SoapFault(what + " is not a decimal number: \"" + text.substr(0, 64) + "\"");
  return v;
}

}  // namespace hollin
