#include "host_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include <pugixml.hpp>

#include "HLNinterfaces.h"

namespace {

const char kUsage[] =
    "usage: qelhost [--servers FILE] COMMAND ARGS...\n"
    "\n"
    "  set-config SERVER USER RECORD_FILE  store the configuration record (Key=Value lines)\n"
    "  show-config SERVER USER             print it (passwords only as set or empty)\n"
    "  session SERVER USER [--admin]       log USER on to the records server and show what\n"
    "                                      the session sees (--admin: as its administrator)\n"
    "  --help                              this text\n"
    "\n"
    "USER's password is the first line of standard input. The servers file is\n"
    "--servers FILE, else $GXSERVERS, else $QELROOT/gxservers.conf.\n";

struct Failure {
  int status;
  std::string text;
};

Failure usage(const std::string& text) { return {2, text}; }

std::string readPassword(std::istream& in) {
  std::string line;
  if (!std::getline(in, line)) throw Failure{1, "no password on the first line of standard input"};
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// A datastore connected as the host's user; disconnected on destruction.
class Connection {
 public:
  Connection(const std::string& server, const std::string& user, const std::string& password) {
    GxString errorText;
    if (DVXlogon(&datastore_, server.c_str(), user.c_str(), password.c_str(), errorText) != 0)
      throw Failure{1, "cannot log on to " + server + " as " + user + ": " + errorText.c_str()};
  }
  ~Connection() { DVXlogoff(&datastore_); }
  GxDatastoreDVX* get() { return &datastore_; }

 private:
  GxDatastoreDVX datastore_;
};

bool parseInt32(const std::string& text, int32_t& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

// Id -> name of the entries of a <List> answer.
std::map<long, std::string> namesById(const CString& list, const char* idAttr,
                                      const char* nameAttr) {
  std::map<long, std::string> names;
  pugi::xml_document doc;
  if (!doc.load_string(list.GetString())) return names;
  for (pugi::xml_node item : doc.document_element().children("Item"))
    names[item.attribute(idAttr).as_llong()] = item.attribute(nameAttr).value();
  return names;
}

std::string nameOf(const std::map<long, std::string>& names, long id) {
  auto it = names.find(id);
  return it == names.end() ? "(unknown to the server)" : it->second;
}

int setConfig(const std::vector<std::string>& a, std::istream& in, std::ostream& out) {
  if (a.size() != 4) throw usage("set-config needs SERVER USER RECORD_FILE");
  std::ifstream file(a[3]);
  if (!file) throw Failure{1, "cannot read " + a[3]};
  TaVNcfgInfo_t info;
  const std::string bad = ParseConfigRecord(file, info);
  if (!bad.empty()) throw Failure{1, a[3] + ": " + bad};
  Connection c(a[1], a[2], readPassword(in));
  if (SetTaVNcfgInfo(c.get(), info) != 0) throw Failure{1, "storing the configuration record failed"};
  out << "configuration record stored on " << a[1] << "\n";
  return 0;
}

int showConfig(const std::vector<std::string>& a, std::istream& in, std::ostream& out) {
  if (a.size() != 3) throw usage("show-config needs SERVER USER");
  Connection c(a[1], a[2], readPassword(in));
  TaVNcfgInfo_t i;
  if (GetTaVNcfgInfo(c.get(), i) != 0) throw Failure{1, "no readable configuration record on " + a[1]};
  auto secret = [](const GxString& s) { return s.length() == 0 ? "(empty)" : "(set)"; };
  out << "LibSer   " << i.LibSer << "\n"
      << "ZulHost  " << i.ZulHost << "\n"
      << "ZulDB    " << i.ZulDB << "\n"
      << "ZulPwd   " << secret(i.ZulPwd) << "\n"
      << "ZulURL   " << i.ZulURL << "\n"
      << "ZulSURL  " << i.ZulSURL << "\n"
      << "ZulORB   " << i.ZulORB << "\n"
      << "HostID   " << i.HostID << "\n"
      << "HostPW   " << secret(i.HostPW) << "\n"
      << "Outlook  " << i.Outlook << "\n"
      << "QELPwd   " << secret(i.QELPwd) << "\n";
  return 0;
}

// What the session sees; `session` is logged on.
void describeSession(QELsession& session, const TaVNcfgInfo_t& cfg, std::ostream& out) {
  HLNinterfaces& hln = *session.m_pHLN;
  char line[256];
  out << "records server   " << cfg.ZulSURL << " (" << hln.getEngineVersion().GetString() << ")\n";
  std::snprintf(line, sizeof line, "user id          %ld\n", hln.getuserid());
  out << line;

  TaVNcfgInfo2_t defs;
  if (GetTaVNcfgInfo2(session, defs) != 0)
    throw Failure{1, "reading the five definitions failed"};
  const auto definitions =
      namesById(hln.getComponentDefinitionList(), "FlPlnCmpntDefID", "FlPlnCmpntDefNm");
  const auto views = namesById(hln.getFilePlanViewList(true), "FlPlnViewID", "FlPlnViewNm");
  const struct {
    const char* key;
    int32_t id;
    const std::map<long, std::string>& names;
  } rows[] = {
      {"NXDocumentID", defs.NXDocumentID, definitions},
      {"NXEmailID", defs.NXEmailID, definitions},
      {"NXSprsdViewID", defs.NXSprsdViewID, views},
      {"NXVersionViewID", defs.NXVersionViewID, views},
      {"NXCrsRefViewID", defs.NXCrsRefViewID, views},
  };
  for (const auto& r : rows) {
    std::snprintf(line, sizeof line, "%-16s %-4d %s\n", r.key, static_cast<int>(r.id),
                  nameOf(r.names, r.id).c_str());
    out << line;
  }

  const long mask = hln.getUserActionMask();
  // Bit 0x10 is what a declaration asks for.
  std::snprintf(line, sizeof line, "action mask      0x%02lX (%s)\n", mask,
                (mask & 0x10) != 0 ? "may declare records" : "may not declare records");
  out << line;
}

int session(const std::vector<std::string>& a, std::istream& in, std::ostream& out) {
  const bool admin = a.size() == 4 && a[3] == "--admin";
  if (a.size() != 3 && !admin) throw usage("session needs SERVER USER [--admin]");
  Connection c(a[1], a[2], readPassword(in));
  TaVNcfgInfo_t cfg;
  if (GetTaVNcfgInfo(c.get(), cfg) != 0) throw Failure{1, "no readable configuration record on " + a[1]};

  QELsession s;
  const int rc = admin ? TaVNAdminLogon(c.get(), s) : TaVNlogon(c.get(), s);
  if (rc != 0) throw Failure{1, "records-server logon failed (QELTRACE=1 shows why)"};
  out << "logged on        " << (admin ? std::string("administrator")
                                         : std::string(cfg.LibSer.c_str()) + "::@%@::" + a[2])
      << "\n";
  Failure failed{0, ""};
  try {
    describeSession(s, cfg, out);
  } catch (const char* text) {
    failed = Failure{1, std::string("records server: ") + text};
  } catch (const Failure& f) {
    failed = f;
  }
  TaVNlogoff(s);
  if (failed.status != 0) throw failed;
  out << "logged off\n";
  return 0;
}

}  // namespace

std::string ParseConfigRecord(std::istream& text, TaVNcfgInfo_t& info) {
  std::map<std::string, GxString*> strings = {
      {"LibSer", &info.LibSer},   {"ZulHost", &info.ZulHost}, {"ZulDB", &info.ZulDB},
      {"ZulPwd", &info.ZulPwd},   {"ZulURL", &info.ZulURL},   {"ZulSURL", &info.ZulSURL},
      {"HostPW", &info.HostPW},   {"Outlook", &info.Outlook}, {"QELPwd", &info.QELPwd},
  };
  std::map<std::string, int32_t*> numbers = {{"ZulORB", &info.ZulORB}, {"HostID", &info.HostID}};
  std::map<std::string, bool> seen;
  std::string line;
  for (int n = 1; std::getline(text, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t eq = line.find('=');
    const std::string where = "line " + std::to_string(n);
    if (eq == std::string::npos) return where + ": expected Key=Value";
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (seen[key]) return where + ": " + key + " given twice";
    seen[key] = true;
    if (auto s = strings.find(key); s != strings.end()) {
      *s->second = value;
    } else if (auto i = numbers.find(key); i != numbers.end()) {
      if (!parseInt32(value, *i->second)) return where + ": " + key + " is not a number";
    } else {
      return where + ": unknown key " + key;
    }
  }
  return "";
}

int RunQelhost(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err) {
  try {
    std::vector<std::string> a = args;
    if (a.size() >= 2 && a[0] == "--servers") {
      setenv("GXSERVERS", a[1].c_str(), 1);
      a.erase(a.begin(), a.begin() + 2);
    }
    if (a.size() == 1 && a[0] == "--help") {
      out << kUsage;
      return 0;
    }
    if (a.empty()) throw usage("no command");
    if (a[0] == "set-config") return setConfig(a, in, out);
    if (a[0] == "show-config") return showConfig(a, in, out);
    if (a[0] == "session") return session(a, in, out);
    throw usage("unknown command " + a[0]);
  } catch (const Failure& f) {
    err << "qelhost: " << f.text << "\n";
    if (f.status == 2) err << kUsage;
    return f.status;
  } catch (const char* text) {
    err << "qelhost: records server: " << text << "\n";
    return 1;
  } catch (GxException& e) {
    err << "qelhost: content-management failure " << e.exceptionId() << "\n";
    return 1;
  } catch (const std::exception& e) {
    err << "qelhost: " << e.what() << "\n";
    return 1;
  } catch (...) {
    err << "qelhost: unexpected failure\n";
    return 1;
  }
}
