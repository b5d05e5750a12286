// LoginManager and ClientController operations.
#include <cstring>

#include "handlers.h"
#include "list_builder.h"
#include "model.h"
#include "operations.h"
#include "password_hash.h"
#include "soap_message.h"

namespace hollin {

const char kEngineVersion[] = "hollin-server 1.0";

namespace {

void requireDataSource(Db& db, const std::string& alias) {
  Stmt s(db, "SELECT 1 FROM data_source WHERE name=?");
  s.bind(1, alias);
  if (!s.step()) throw SoapFault("unknown database alias \"" + alias + "\"");
}

// "<List><Item XtGrpID="..."/>...</List>"; an empty text means no groups.
std::vector<std::string> parseGroupList(const std::string& text) {
  std::vector<std::string> groups;
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) return groups;
  pugi::xml_document doc;
  pugi::xml_node list = parseListDocument(doc, text, "group list", true);
  for (pugi::xml_node e = list.first_child(); e; e = e.next_sibling()) {
    if (e.type() != pugi::node_element) continue;
    pugi::xml_attribute id = e.attribute("XtGrpID");
    if (!id || !*id.value()) throw SoapFault("group list entry without an XtGrpID attribute");
    groups.emplace_back(id.value());
  }
  return groups;
}

std::string openSession(CallContext& ctx, Session s) {
  return ctx.sessions.open(std::move(s), controllerNames());
}

// Shared by both host logins once the host is known. The password check
// runs outside the store's lock: it is deliberately slow.
std::string hostLogin(CallContext& ctx, const std::string& userKey, int64_t hostId,
                      const std::string& hostPassword, const std::string& storedHash,
                      const std::string& groupList, Session s) {
  if (!verifyPassword(hostPassword, storedHash)) {
    throw SoapFault("wrong host password for host " + std::to_string(hostId));
  }
  if (userKey.empty()) throw SoapFault("empty user key");
  s.groups = parseGroupList(groupList);
  ctx.store.transact([&](Db& db) {
    Stmt find(db, "SELECT id FROM account WHERE name=?");
    find.bind(1, userKey);
    if (find.step()) {
      s.accountId = find.i64(0);
    } else {
      // A host vouches for its users: they get an account on first sight,
      // without a password of their own.
      Stmt add(db, "INSERT INTO account(name, password, is_admin) VALUES(?, NULL, 0)");
      add.bind(1, userKey).run();
      s.accountId = db.lastInsertId();
    }
  });
  s.userName = userKey;
  s.admin = false;
  s.hostId = hostId;
  return openSession(ctx, std::move(s));
}

std::string handleFor(CallContext& ctx, const char* controller) {
  auto it = ctx.session->handles.find(controller);
  if (it == ctx.session->handles.end()) throw SoapFault("no handle for " + std::string(controller), false);
  return it->second;
}

}  // namespace

std::string getDataSourceList(CallContext& ctx, const Args&) {
  ListBuilder out;
  ctx.store.transact([&](Db& db) {
    Stmt s(db, "SELECT name FROM data_source ORDER BY name");
    while (s.step()) setAttr(out.item(), "JNDIName", s.text(0));
  });
  return out.str();
}

std::string getEngineVersion(CallContext&, const Args&) { return kEngineVersion; }

std::string integrationLogin(CallContext& ctx, const Args& args) {
  Session session;
  std::string hash;
  bool hasPassword = false;
  ctx.store.transact([&](Db& db) {
    requireDataSource(db, args.str(2));
    Stmt s(db, "SELECT id, password, is_admin FROM account WHERE name=?");
    s.bind(1, args.str(0));
    if (!s.step()) throw SoapFault("unknown user \"" + args.str(0) + "\"");
    session.accountId = s.i64(0);
    hasPassword = !s.isNull(1);
    hash = s.text(1);
    session.admin = s.i64(2) != 0;
    Stmt g(db, "SELECT group_name FROM account_group WHERE account_id=? ORDER BY group_name");
    g.bind(1, session.accountId);
    while (g.step()) session.groups.push_back(g.text(0));
  });
  if (!hasPassword) {
    throw SoapFault("user \"" + args.str(0) + "\" has no password: log in through its host");
  }
  // Outside the store's lock: the check is deliberately slow.
  if (!verifyPassword(args.str(1), hash)) {
    throw SoapFault("wrong password for user \"" + args.str(0) + "\"");
  }
  std::vector<std::string> sent = parseGroupList(args.str(3));
  session.groups.insert(session.groups.begin(), sent.begin(), sent.end());
  session.userName = args.str(0);
  session.dataSource = args.str(2);
  session.language = args.str(4);
  return openSession(ctx, std::move(session));
}

std::string integrationHostLogin(CallContext& ctx, const Args& args) {
  std::string hash;
  ctx.store.transact([&](Db& db) {
    Stmt h(db, "SELECT password FROM host WHERE id=?");
    h.bind(1, args.num(1));
    if (!h.step()) throw SoapFault("unknown host id " + args.str(1));
    hash = h.text(0);
    requireDataSource(db, args.str(3));
  });
  Session s;
  s.dataSource = args.str(3);
  s.language = args.str(5);
  return hostLogin(ctx, args.str(0), args.num(1), args.str(2), hash, args.str(4), std::move(s));
}

// Arguments: host name, user key, host password, database alias, group
// list, language (the by-id login's order with the host named first).
std::string integrationHostLoginByName(CallContext& ctx, const Args& args) {
  std::string hash;
  int64_t hostId = 0;
  ctx.store.transact([&](Db& db) {
    Stmt h(db, "SELECT id, password FROM host WHERE name=?");
    h.bind(1, args.str(0));
    if (!h.step()) throw SoapFault("unknown host \"" + args.str(0) + "\"");
    hostId = h.i64(0);
    hash = h.text(1);
    requireDataSource(db, args.str(3));
  });
  Session s;
  s.dataSource = args.str(3);
  s.language = args.str(5);
  return hostLogin(ctx, args.str(1), hostId, args.str(2), hash, args.str(4), std::move(s));
}

std::string getConfigurationControllerAsString(CallContext& ctx, const Args&) {
  return handleFor(ctx, "ConfigurationController");
}
std::string getComponentDesignControllerAsString(CallContext& ctx, const Args&) {
  return handleFor(ctx, "ComponentDesignController");
}
std::string getDefinitionControllerAsString(CallContext& ctx, const Args&) {
  return handleFor(ctx, "DefinitionController");
}
std::string getFilePlanComponentControllerAsString(CallContext& ctx, const Args&) {
  return handleFor(ctx, "FilePlanComponentController");
}
std::string getFilePlanDesignControllerAsString(CallContext& ctx, const Args&) {
  return handleFor(ctx, "FilePlanDesignController");
}
std::string getLifeCycleDesignControllerAsString(CallContext& ctx, const Args&) {
  return handleFor(ctx, "LifeCycleDesignController");
}
std::string getToolsControllerAsString(CallContext& ctx, const Args&) {
  return handleFor(ctx, "ToolsController");
}
std::string getUserControllerAsString(CallContext& ctx, const Args&) {
  return handleFor(ctx, "UserController");
}

std::string logout(CallContext& ctx, const Args&) {
  if (!ctx.sessions.close(ctx.session->clientKey)) throw SoapFault("session already ended");
  return "";
}

}  // namespace hollin
