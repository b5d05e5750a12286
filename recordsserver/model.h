#pragma once
// Queries over the store shared by several operation families: components,
// definitions, views, permissions. All of them run inside the caller's
// transaction and throw SoapFault for unknown ids.
#include <cstdint>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "db.h"
#include "sessions.h"

namespace hollin {

// Action-mask bits of this server (README.md).
constexpr int64_t kActAdd = 0x01;      // place a child component here
constexpr int64_t kActView = 0x02;
constexpr int64_t kActEdit = 0x04;
constexpr int64_t kActRead = 0x08;
constexpr int64_t kActDeclare = 0x10;
constexpr int64_t kActDelete = 0x20;
constexpr int64_t kActLink = 0x40;
constexpr int64_t kActControl = 0x80;
constexpr int64_t kActAll = 0xFF;

struct ComponentRow {
  int64_t id = 0;
  int64_t definitionId = 0;
  int64_t parentId = 0;
  std::string name;
  std::string created;
  int64_t createdBy = 0;
  std::string superseded;  // empty unless superseded
};

struct DefinitionRow {
  int64_t id = 0;
  std::string name;
  std::string kind;
  std::string titleColumn;
};

struct ViewRow {
  int64_t id = 0;
  std::string name;
  std::string kind;
  bool hidden = false;
};

ComponentRow requireComponent(Db& db, int64_t id);
DefinitionRow requireDefinition(Db& db, int64_t id);
ViewRow requireView(Db& db, int64_t id);
int64_t hierarchyViewId(Db& db);
void requireHost(Db& db, int64_t id);

// Whether `group` (as a session carries it, possibly qualified with
// "<server>::@%@::") names the rule or permission group `ruleGroup`.
bool groupMatches(const std::string& group, const std::string& ruleGroup);

// The user's mask from the group rules (getUserActionMask).
int64_t userActionMask(Db& db, const Session& s);

// The component whose explicit permission entries apply to `componentId`:
// itself or its nearest ancestor with entries; 0 when none has any.
int64_t permissionOwner(Db& db, int64_t componentId);

// The session user's effective mask on a component (administrator: all).
int64_t effectiveMask(Db& db, const Session& s, int64_t componentId);

// REQUIRES: a session. Throws SoapFault("... lacks permission ...") unless
// the user holds `bits` on the component.
void requireMask(Db& db, const Session& s, int64_t componentId, int64_t bits, const char* what);

// Whether the view holds a relationship definition source -> target; its
// id or 0.
int64_t relationshipId(Db& db, int64_t viewId, int64_t sourceDef, int64_t targetDef);

// Every column of a component as name/value pairs: the built-in fields
// (FlPlnCmpntID, FlPlnCmpntDefID, FlPlnCmpntParentID, FlPlnCmpntNm,
// FlPlnCmpntCrtDt, FlPlnCmpntSprsdDt) then the attributes in definition order.
std::vector<std::pair<std::string, std::string>> componentColumns(Db& db, const ComponentRow& c);

// Parses `text` into `doc` and returns its list element: the document's
// last child node (`lastChild`) or its first. Throws SoapFault naming `what`
// when the text is not well-formed or holds no element there.
pugi::xml_node parseListDocument(pugi::xml_document& doc, const std::string& text,
                                 const char* what, bool lastChild);

// Strict decimal text to integer; throws SoapFault naming `what`.
int64_t parseDecimal(const std::string& text, const std::string& what);

}  // namespace hollin
