// gxadmin: defines servers, users, groups, item types and MIME types of the
// embedded content-management store. Each command is one transaction.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "platform/gx/gx_collection.h"
#include "platform/gx/gx_datastore_dvx.h"
#include "platform/gx/gx_defs_dvx.h"
#include "platform/gx/gx_exception.h"
#include "platform/gx/gx_store_admin_dvx.h"

namespace {

const char kUsage[] =
    "usage: gxadmin [--servers FILE] COMMAND ARGS...\n"
    "\n"
    "  create-server NAME PATH          new server file (mode 0600) and its line in the servers file\n"
    "  add-user SERVER USER [PASSWORD]  new user (password from the first line of stdin when omitted)\n"
    "  set-password SERVER USER [PASSWORD]\n"
    "  add-group SERVER GROUP\n"
    "  add-member SERVER GROUP USER\n"
    "  define-item-type SERVER NAME [--class N] ATTR... [--child COMPONENT ATTR...]...\n"
    "        ATTR is name:string:LENGTH or name:integer, optionally followed by :notnull\n"
    "        --class 1 (item, default) or 2 (document)\n"
    "  add-mime-type SERVER MIME SUFFIXES   e.g. add-mime-type DEMO application/pdf pdf\n"
    "  init-qel SERVER [PASSWORD]       QELconfig, user qeladmin, QELDocument, QELMail, MIME types\n"
    "  list servers\n"
    "  list users|groups|item-types|mime-types SERVER\n"
    "  list items SERVER ITEMTYPE\n"
    "  --help                           this text\n"
    "\n"
    "The servers file is --servers FILE, else $GXSERVERS, else $QELROOT/gxservers.conf.\n";

struct UsageError {
  std::string text;
};

void need(const std::vector<std::string>& a, size_t min, size_t max, const char* cmd) {
  if (a.size() < min || a.size() > max) throw UsageError{std::string("wrong number of arguments for ") + cmd};
}

std::string passwordArg(const std::vector<std::string>& a, size_t index) {
  if (a.size() > index) return a[index];
  std::string line;
  if (!std::getline(std::cin, line)) throw UsageError{"no password given (argument or first line of stdin)"};
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

GxAttrSpecDVX parseAttr(const std::string& spec) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    size_t p = spec.find(':', start);
    f.push_back(spec.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) break;
    start = p + 1;
  }
  GxAttrSpecDVX a;
  if (f.size() < 2) throw UsageError{"attribute '" + spec + "': expected name:string:LENGTH or name:integer"};
  a.name = f[0];
  size_t next = 2;
  if (f[1] == "string") {
    if (f.size() < 3) throw UsageError{"attribute '" + spec + "': string needs a length"};
    char* end = nullptr;
    long len = std::strtol(f[2].c_str(), &end, 10);
    if (f[2].empty() || *end) throw UsageError{"attribute '" + spec + "': length is not a number"};
    a.maxLength = len;
    next = 3;
  } else if (f[1] == "integer") {
    a.integer = true;
  } else {
    throw UsageError{"attribute '" + spec + "': type must be string or integer"};
  }
  if (f.size() == next + 1 && f[next] == "notnull") {
    a.nullable = false;
  } else if (f.size() != next) {
    throw UsageError{"attribute '" + spec + "': unexpected text after the type"};
  }
  return a;
}

GxItemTypeSpecDVX parseItemType(const std::vector<std::string>& a) {
  GxItemTypeSpecDVX spec;
  spec.name = a[1];
  GxComponentSpecDVX* comp = nullptr;
  for (size_t i = 2; i < a.size(); ++i) {
    if (a[i] == "--class") {
      if (++i >= a.size()) throw UsageError{"--class needs a value"};
      if (a[i] != "1" && a[i] != "2") throw UsageError{"--class must be 1 or 2"};
      spec.classification = static_cast<short>(a[i][0] - '0');
    } else if (a[i] == "--child") {
      if (++i >= a.size()) throw UsageError{"--child needs a component name"};
      spec.components.push_back({a[i], {}});
      comp = &spec.components.back();
    } else {
      (comp ? comp->attributes : spec.attributes).push_back(parseAttr(a[i]));
    }
  }
  return spec;
}

void print(const std::vector<std::string>& lines) {
  for (const std::string& l : lines) std::cout << l << "\n";
}

int run(const std::string& servers, const std::string& cmd, const std::vector<std::string>& a) {
  if (cmd == "create-server") {
    need(a, 2, 2, "create-server");
    GxStoreAdminDVX::createServer(servers, a[0], a[1]);
  } else if (cmd == "add-user") {
    need(a, 2, 3, "add-user");
    GxStoreAdminDVX(servers, a[0]).addUser(a[1], passwordArg(a, 2));
  } else if (cmd == "set-password") {
    need(a, 2, 3, "set-password");
    GxStoreAdminDVX(servers, a[0]).setPassword(a[1], passwordArg(a, 2));
  } else if (cmd == "add-group") {
    need(a, 2, 2, "add-group");
    GxStoreAdminDVX(servers, a[0]).addGroup(a[1]);
  } else if (cmd == "add-member") {
    need(a, 3, 3, "add-member");
    GxStoreAdminDVX(servers, a[0]).addMember(a[1], a[2]);
  } else if (cmd == "define-item-type") {
    if (a.size() < 2) throw UsageError{"wrong number of arguments for define-item-type"};
    GxItemTypeSpecDVX spec = parseItemType(a);
    GxStoreAdminDVX(servers, a[0]).defineItemType(spec);
  } else if (cmd == "add-mime-type") {
    need(a, 3, 3, "add-mime-type");
    GxStoreAdminDVX(servers, a[0]).addMimeType(a[1], a[2]);
  } else if (cmd == "init-qel") {
    need(a, 1, 2, "init-qel");
    GxStoreAdminDVX(servers, a[0]).initQel(passwordArg(a, 1));
  } else if (cmd == "list") {
    if (a.empty()) throw UsageError{"list what?"};
    if (a[0] == "servers") {
      need(a, 1, 1, "list servers");
      if (!servers.empty()) setenv("GXSERVERS", servers.c_str(), 1);
      GxDatastoreDVX ds;
      gxCollection* c = ds.listDataSources();
      for (long i = 0; i < c->count(); ++i) {
        auto* s = static_cast<GxServerDefDVX*>(static_cast<gxDataObjectBase*>(c->elementAt(i).value()));
        std::cout << s->getName() << " = " << s->getPath() << "\n";
      }
      delete c;
    } else if (a[0] == "items") {
      need(a, 3, 3, "list items");
      print(GxStoreAdminDVX(servers, a[1]).listItems(a[2]));
    } else {
      need(a, 2, 2, "list");
      GxStoreAdminDVX admin(servers, a[1]);
      if (a[0] == "users") print(admin.listUsers());
      else if (a[0] == "groups") print(admin.listGroups());
      else if (a[0] == "item-types") print(admin.listItemTypes());
      else if (a[0] == "mime-types") print(admin.listMimeTypes());
      else throw UsageError{"cannot list '" + a[0] + "'"};
    }
  } else {
    throw UsageError{"unknown command '" + cmd + "'"};
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string servers;
  size_t i = 0;
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (i < args.size() && args[i] == "--servers") {
    if (i + 1 >= args.size()) {
      std::cerr << "gxadmin: --servers needs a file\n" << kUsage;
      return 2;
    }
    servers = args[i + 1];
    i += 2;
  }
  if (i >= args.size()) {
    std::cerr << "gxadmin: no command\n" << kUsage;
    return 2;
  }
  if (args[i] == "--help") {
    std::cout << kUsage;
    return 0;
  }
  std::string cmd = args[i];
  std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
  try {
    return run(servers, cmd, rest);
  } catch (const UsageError& e) {
    std::cerr << "gxadmin: " << e.text << "\n(run gxadmin --help for usage)\n";
    return 2;
  } catch (const GxException& e) {
    std::cerr << "gxadmin: " << cmd << ": " << e.description();
    for (long t = 1; t < e.textCount(); ++t) std::cerr << " (" << e.text(t) << ")";
    std::cerr << " [exception id " << e.exceptionId() << "]\n";
    return 1;
  }
}
