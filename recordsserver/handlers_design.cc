// Definition, file-plan design, life-cycle, component-design, tools and
// user controller operations.
#include "handlers.h"
#include "list_builder.h"
#include "model.h"
#include "soap_message.h"

namespace hollin {
namespace {

struct CatalogShape {
  const char* kind;
  const char* idAttr;
  const char* ownerAttr;  // nullptr: not shown
  const char* nameAttr;
  const char* valueAttr;  // nullptr: the value is the item's text
};

constexpr CatalogShape kDisposal{"disposal", "DspAuthID", nullptr, "DspAuthNm", "DspAuthDsc"};
constexpr CatalogShape kLifeCycleCode{"lifecyclecode", "LfCycMgmtCdID", nullptr, "LfCycMgmtCdNm", "LfCycMgmtCdDsc"};
constexpr CatalogShape kLifeCyclePhase{"lifecyclephase", "LfCycPhsDefID", nullptr, "LfCycPhsDefNm", "LfCycPhsDefDsc"};
constexpr CatalogShape kPickList{"picklist", "PckLstEntID", "PckLstID", "PckLstEntVal", "PckLstEntDsc"};
constexpr CatalogShape kProfile{"profile", "PrflID", "FlPlnCmpntDefID", "PrflNm", "PrflDsc"};
constexpr CatalogShape kImage{"image", "ImgID", nullptr, "ImgNm", nullptr};

void catalogItem(ListBuilder& out, const CatalogShape& shape, Stmt& s) {
  pugi::xml_node n = out.item();
  setAttr(n, shape.idAttr, s.i64(0));
  if (shape.ownerAttr) setAttr(n, shape.ownerAttr, s.i64(1));
  setAttr(n, shape.nameAttr, s.text(2));
  if (shape.valueAttr) {
    setAttr(n, shape.valueAttr, s.text(3));
  } else {
    n.text().set(s.text(3).c_str());
  }
}

// Rows of one catalog kind (of one owner when `owner` >= 0), paged by
// start and count (0 = all).
std::string catalogList(CallContext& ctx, const CatalogShape& shape, int64_t owner, int64_t start,
                        int64_t count) {
  if (start < 0 || count < 0) throw SoapFault("paging arguments must not be negative");
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Stmt s(db,
           "SELECT id, owner, name, value FROM catalog WHERE kind=? AND (?<0 OR owner=?)"
           " ORDER BY id LIMIT ? OFFSET ?");
    s.bind(1, std::string(shape.kind)).bind(2, owner).bind(3, owner);
    s.bind(4, count == 0 ? int64_t(-1) : count).bind(5, start);
    while (s.step()) catalogItem(out, shape, s);
  });
  return out.str();
}

std::string catalogById(CallContext& ctx, const CatalogShape& shape, int64_t id) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Stmt s(db, "SELECT id, owner, name, value FROM catalog WHERE kind=? AND id=?");
    s.bind(1, std::string(shape.kind)).bind(2, id);
    if (!s.step()) throw SoapFault("unknown " + std::string(shape.kind) + " id " + std::to_string(id));
    catalogItem(out, shape, s);
  });
  return out.str();
}

void requireUser(Db& db, const Session& session, int64_t userId) {
  int64_t id = userId == 0 ? session.accountId : userId;
  Stmt s(db, "SELECT 1 FROM account WHERE id=?");
  s.bind(1, id);
  if (!s.step()) throw SoapFault("unknown user id " + std::to_string(userId));
}

void relItem(ListBuilder& out, Stmt& s) {
  pugi::xml_node n = out.item();
  setAttr(n, "FlPlnRelDefID", s.i64(0));
  setAttr(n, "FlPlnViewID", s.i64(1));
  setAttr(n, "FlPlnCmpntDefSrcID", s.i64(2));
  setAttr(n, "FlPlnCmpntDefTgtID", s.i64(3));
  setAttr(n, "FlPlnRelDefNm", s.text(4));
}

void viewItem(ListBuilder& out, Stmt& s) {
  pugi::xml_node n = out.item();
  setAttr(n, "FlPlnViewID", s.i64(0));
  setAttr(n, "FlPlnViewNm", s.text(1));
  setAttr(n, "FlPlnViewTyp", s.text(2));
}

}  // namespace

std::string getComponentDefinitionList(CallContext& ctx, const Args&) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Stmt s(db, "SELECT id, name, kind, title_column FROM definition ORDER BY id");
    while (s.step()) {
      pugi::xml_node n = out.item();
      setAttr(n, "FlPlnCmpntDefID", s.i64(0));
      setAttr(n, "FlPlnCmpntDefNm", s.text(1));
      setAttr(n, "FlPlnCmpntDefTyp", s.text(2));
      setAttr(n, "FlPlnCmpntDefTtlColNm", s.text(3));
    }
  });
  return out.str();
}

std::string getComponentDefinitionById(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    DefinitionRow def = requireDefinition(db, args.num(0));
    pugi::xml_node list = out.list();
    setAttr(list, "FlPlnCmpntDefID", def.id);
    setAttr(list, "FlPlnCmpntDefNm", def.name);
    setAttr(list, "FlPlnCmpntDefTyp", def.kind);
    setAttr(list, "FlPlnCmpntDefTtlColNm", def.titleColumn);
    Stmt s(db,
           "SELECT column_name, label, type, required, system, max_length FROM attr_def"
           " WHERE definition_id=? ORDER BY position");
    s.bind(1, def.id);
    while (s.step()) {
      pugi::xml_node n = out.item();
      setAttr(n, "FlPlnCmpntAttrDefColNm", s.text(0));
      setAttr(n, "FlPlnCmpntAttrDefNm", s.text(1));
      setAttr(n, "FlPlnCmpntAttrDefTyp", s.text(2));
      setAttr(n, "FlPlnCmpntAttrDefRqd", s.i64(3));
      setAttr(n, "FlPlnCmpntAttrDefSys", s.i64(4));
      setAttr(n, "FlPlnCmpntAttrDefLen", s.i64(5));
    }
  });
  return out.str();
}

std::string getRelationshipDefinitionList(CallContext& ctx, const Args&) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Stmt s(db, "SELECT id, view_id, source_def, target_def, name FROM reldef ORDER BY id");
    while (s.step()) relItem(out, s);
  });
  return out.str();
}

std::string getRelationshipDefinitionListByFPViewID(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    requireView(db, args.num(0));
    Stmt s(db, "SELECT id, view_id, source_def, target_def, name FROM reldef WHERE view_id=? ORDER BY id");
    s.bind(1, args.num(0));
    while (s.step()) relItem(out, s);
  });
  return out.str();
}

// The flag asks for hidden views too.
std::string getFilePlanViewList(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Stmt s(db, "SELECT id, name, kind FROM view WHERE ? OR hidden=0 ORDER BY id");
    s.bind(1, int64_t(args.flag(0) ? 1 : 0));
    while (s.step()) viewItem(out, s);
  });
  return out.str();
}

std::string getFilePlanViewByID(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Stmt s(db, "SELECT id, name, kind FROM view WHERE id=?");
    s.bind(1, args.num(0));
    if (!s.step()) throw SoapFault("unknown file-plan view id " + args.str(0));
    viewItem(out, s);
  });
  return out.str();
}

std::string getDisposalAuthorityList(CallContext& ctx, const Args&) {
  return catalogList(ctx, kDisposal, -1, 0, 0);
}
std::string getLifeCycleManagementCodeList(CallContext& ctx, const Args& args) {
  return catalogList(ctx, kLifeCycleCode, -1, args.num(0), args.num(1));
}
std::string getLifeCyclePhaseDefinitionList(CallContext& ctx, const Args& args) {
  return catalogList(ctx, kLifeCyclePhase, -1, args.num(0), args.num(1));
}

// Arguments: component id, event code, text.
std::string addAuditEntry(CallContext& ctx, const Args& args) {
  ctx.store.transact([&](Db& db) {
    requireComponent(db, args.num(0));
    Stmt s(db,
           "INSERT INTO audit(component_id, event_code, text, account_id, at)"
           " VALUES(?,?,?,?,replace(datetime('now','localtime'),' ','T'))");
    s.bind(1, args.num(0)).bind(2, args.num(1)).bind(3, args.str(2)).bind(4, ctx.session->accountId).run();
  });
  return "";
}

// Argument: component id, or 0 for every entry.
std::string getAuditEntryList(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    if (args.num(0) != 0) requireComponent(db, args.num(0));
    Stmt s(db,
           "SELECT a.id, a.component_id, a.event_code, a.text, a.account_id, COALESCE(u.name,''), a.at"
           " FROM audit a LEFT JOIN account u ON u.id=a.account_id"
           " WHERE ?=0 OR a.component_id=? ORDER BY a.id");
    s.bind(1, args.num(0)).bind(2, args.num(0));
    while (s.step()) {
      pugi::xml_node n = out.item();
      setAttr(n, "AudEntID", s.i64(0));
      setAttr(n, "FlPlnCmpntID", s.i64(1));
      setAttr(n, "AudEvtCd", s.i64(2));
      setAttr(n, "AudTxt", s.text(3));
      setAttr(n, "UsrID", s.i64(4));
      setAttr(n, "UsrNm", s.text(5));
      setAttr(n, "AudDt", s.text(6));
    }
  });
  return out.str();
}

std::string getUserActionMask(CallContext& ctx, const Args&) {
  int64_t mask = 0;
  ctx.store.transact([&](Db& db) { mask = userActionMask(db, *ctx.session); });
  return std::to_string(mask);
}

std::string getuserid(CallContext& ctx, const Args&) { return std::to_string(ctx.session->accountId); }

// Arguments: pick list id, user id (0 = the caller).
std::string getPickListEntryListForUser(CallContext& ctx, const Args& args) {
  ctx.store.transact([&](Db& db) { requireUser(db, *ctx.session, args.num(1)); });
  return catalogList(ctx, kPickList, args.num(0), 0, 0);
}
// Arguments: pick list id, paging start and count.
std::string getPickListEntryList(CallContext& ctx, const Args& args) {
  return catalogList(ctx, kPickList, args.num(0), args.num(1), args.num(2));
}
// Arguments: definition id, user id (0 = the caller).
std::string getProfileListForUserGroup(CallContext& ctx, const Args& args) {
  ctx.store.transact([&](Db& db) {
    requireDefinition(db, args.num(0));
    requireUser(db, *ctx.session, args.num(1));
  });
  return catalogList(ctx, kProfile, args.num(0), 0, 0);
}
// Arguments: definition id, user id (0 = the caller). Answers the
// definition's default attribute values as column entries.
std::string getDefaultListForUserGroup(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    requireDefinition(db, args.num(0));
    requireUser(db, *ctx.session, args.num(1));
    Stmt s(db, "SELECT name, value FROM catalog WHERE kind='default' AND owner=? ORDER BY id");
    s.bind(1, args.num(0));
    while (s.step()) out.column(s.text(0), s.text(1));
  });
  return out.str();
}
std::string getDefaultImageById(CallContext& ctx, const Args& args) {
  return catalogById(ctx, kImage, args.num(0));
}
std::string getProfileImageById(CallContext& ctx, const Args& args) {
  return catalogById(ctx, kImage, args.num(0));
}

}  // namespace hollin
