// ConfigurationController operations: hosts, engine and user
// configuration values, bar codes.
#include <cstdio>

#include "handlers.h"
#include "list_builder.h"
#include "model.h"
#include "soap_message.h"

namespace hollin {
namespace {

void requireKey(const std::string& key) {
  if (key.empty()) throw SoapFault("empty engine configuration key");
}

std::string meta(Db& db, const char* key, const std::string& dflt) {
  Stmt s(db, "SELECT value FROM meta WHERE key=?");
  s.bind(1, std::string(key));
  return s.step() ? s.text(0) : dflt;
}

}  // namespace

std::string getHostList(CallContext& ctx, const Args&) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Stmt s(db, "SELECT id, name, description FROM host ORDER BY id");
    while (s.step()) {
      pugi::xml_node n = out.item();
      setAttr(n, "RecHsID", s.i64(0));
      setAttr(n, "RecHsNm", s.text(1));
      setAttr(n, "RecHsDsc", s.text(2));
    }
  });
  return out.str();
}

std::string getHostByID(CallContext& ctx, const Args& args) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Stmt s(db, "SELECT id, name, description FROM host WHERE id=?");
    s.bind(1, args.num(0));
    if (!s.step()) throw SoapFault("unknown host id " + args.str(0));
    out.column("RecHsID", std::to_string(s.i64(0)));
    out.column("RecHsNm", s.text(1));
    out.column("RecHsDsc", s.text(2));
  });
  return out.str();
}

std::string getEngineConfigValueList(CallContext& ctx, const Args&) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Stmt s(db, "SELECT key, scope, value FROM engine_config ORDER BY key, scope");
    while (s.step()) {
      pugi::xml_node n = out.item();
      setAttr(n, "EngCfgKey", s.text(0));
      setAttr(n, "EngCfgScope", s.i64(1));
      setAttr(n, "EngCfgVal", s.text(2));
    }
  });
  return out.str();
}

std::string getEngineConfigValue(CallContext& ctx, const Args& args) {
  std::string value;
  ctx.store.transact([&](Db& db) {
    requireKey(args.str(0));
    Stmt s(db, "SELECT value FROM engine_config WHERE key=? AND scope=?");
    s.bind(1, args.str(0)).bind(2, args.num(1));
    if (!s.step()) throw SoapFault("unknown engine configuration key \"" + args.str(0) + "\"");
    value = s.text(0);
  });
  return value;
}

std::string setEngineConfigValue(CallContext& ctx, const Args& args) {
  ctx.store.transact([&](Db& db) {
    requireKey(args.str(0));
    Stmt s(db, "INSERT OR REPLACE INTO engine_config(key, scope, value) VALUES(?,?,?)");
    s.bind(1, args.str(0)).bind(2, args.num(1)).bind(3, args.str(2)).run();
  });
  return "";
}

std::string deleteEngineConfigValue(CallContext& ctx, const Args& args) {
  ctx.store.transact([&](Db& db) {
    requireKey(args.str(0));
    Stmt s(db, "DELETE FROM engine_config WHERE key=? AND scope=?");
    s.bind(1, args.str(0)).bind(2, args.num(1)).run();
    if (db.changes() == 0) {
      throw SoapFault("unknown engine configuration key \"" + args.str(0) + "\"");
    }
  });
  return "";
}

// Arguments: user id (0 = the caller), key. A key never set answers "".
std::string getUserConfigValue(CallContext& ctx, const Args& args) {
  std::string value;
  ctx.store.transact([&](Db& db) {
    int64_t user = args.num(0) == 0 ? ctx.session->accountId : args.num(0);
    Stmt a(db, "SELECT 1 FROM account WHERE id=?");
    a.bind(1, user);
    if (!a.step()) throw SoapFault("unknown user id " + std::to_string(user));
    Stmt s(db, "SELECT value FROM user_config WHERE account_id=? AND key=?");
    s.bind(1, user).bind(2, args.str(1));
    if (s.step()) value = s.text(0);
  });
  return value;
}

std::string getNextBarCode(CallContext& ctx, const Args&) {
  std::string code;
  ctx.store.transact([&](Db& db) {
    std::string prefix = meta(db, "barcode_prefix", "HB");
    int64_t next = parseDecimal(meta(db, "barcode_next", "1"), "stored bar-code counter");
    char digits[32];
    std::snprintf(digits, sizeof digits, "%08lld", static_cast<long long>(next));
    code = prefix + digits;
    Stmt s(db, "INSERT OR REPLACE INTO meta(key, value) VALUES('barcode_next', ?)");
    s.bind(1, std::to_string(next + 1)).run();
  });
  return code;
}

}  // namespace hollin
