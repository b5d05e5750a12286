// The server over HTTP, in process: WSDLs, sessions, every operation family
// and the faults.
#include <atomic>
#include <random>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <sqlite3.h>

#include "operations.h"
#include "test_client.h"

namespace hollin_test {
namespace {

const char kDocAttrs[] =
    "<List><Item FlPlnCmpntAttrDefColNm=\"FlPlnCmpntTtl\">%T%</Item>"
    "<Item FlPlnCmpntAttrDefColNm=\"XtRecID\">QELLIB::@%@::PID-1</Item>"
    "<Item FlPlnCmpntAttrDefColNm=\"RecHsID\">1</Item></List>";

std::string docAttrs(const std::string& title) {
  std::string escaped;
  for (char c : title) {
    escaped += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
  }
  std::string s = kDocAttrs;
  s.replace(s.find("%T%"), 3, escaped);
  return s;
}

class ServerTest : public ::testing::Test {
 protected:
  TempDir dir;
  InProcessServer server{dir.path() + "/store.db"};
  SoapClient client{server.port()};

  Login admin() { return loginAccount(client, "administrator", "hollin-admin"); }

  // Adds a document under `parent` and returns its id (fails the test on a fault).
  long long addDocument(const Login& who, const std::string& title, long long parent = 101,
                        long long def = 20) {
    Reply r = callAs(client, who, "FilePlanComponentController", "addFilePlanComponent",
                     {std::to_string(def), docAttrs(title), std::to_string(parent)});
    EXPECT_FALSE(r.fault) << r.body;
    return r.fault ? -1 : std::stoll(r.result);
  }

  Reply fpc(const Login& who, const std::string& op, const std::vector<Arg>& args) {
    return callAs(client, who, "FilePlanComponentController", op, args);
  }

  size_t structureSize(const Login& who) {
    return items(fpc(who, "getFilePlanComponentStructure", {std::string("100")}).result).size();
  }
};

void expectFault(const Reply& r, const std::string& description) {
  EXPECT_EQ(r.status, 500) << r.body;
  EXPECT_TRUE(r.fault) << r.body;
  EXPECT_EQ(r.faultcode, "soap:Client");
  EXPECT_EQ(r.description, description) << r.body;
  EXPECT_EQ(r.faultstring, r.description);
}

// ---- WSDL ----

TEST_F(ServerTest, WsdlListsEveryOperationWithArgumentTypesAndAddress) {
  httplib::Headers host = {{"Host", "records.example:4711"}};
  for (const std::string& controller : hollin::controllerNames()) {
    auto res = client.http().Get(
        ("/wsdl/com/halvor/gre/engine/ejb/facade/" + controller + "EJBService.wsdl").c_str(), host);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << controller;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(res->body.c_str())) << controller;
    pugi::xml_node defs = doc.child("definitions");
    EXPECT_EQ(std::string(defs.attribute("targetNamespace").value()), "urn:halvor:gre:facade:" + controller);
    EXPECT_EQ(std::string(defs.child("service").child("port").child("soap:address").attribute("location").value()),
              "http://records.example:4711/services/" + controller + "EJBService");
    size_t ops = 0;
    for (const hollin::Operation& op : hollin::operationTable()) {
      if (controller != op.controller) continue;
      ++ops;
      pugi::xml_node el = defs.child("types").child("xsd:schema").find_child_by_attribute("xsd:element", "name", op.name);
      ASSERT_TRUE(el) << op.name;
      pugi::xml_node seq = el.child("xsd:complexType").child("xsd:sequence");
      size_t i = 0;
      for (pugi::xml_node a : seq.children("xsd:element")) {
        ASSERT_LT(i, op.args.size()) << op.name;
        EXPECT_EQ(std::string(a.attribute("name").value()), "arg" + std::to_string(i));
        EXPECT_STREQ(a.attribute("type").value(), hollin::xsdType(op.args[i])) << op.name << " arg" << i;
        ++i;
      }
      EXPECT_EQ(i, op.args.size()) << op.name;
      pugi::xml_node bop = defs.child("binding").find_child_by_attribute("operation", "name", op.name);
      EXPECT_EQ(std::string(bop.child("soap:operation").attribute("soapAction").value()),
                "urn:halvor:gre:facade:" + controller + "#" + op.name);
    }
    EXPECT_GT(ops, 0u) << controller;
    auto again = client.http().Get(("/services/" + controller + "EJBService?wsdl").c_str(), host);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->body, res->body) << controller;
  }
  auto plain = client.http().Get("/services/LoginManagerEJBService");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->status, 405);
  auto missing = client.http().Get("/wsdl/com/halvor/gre/engine/ejb/facade/NoSuchEJBService.wsdl");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
}

TEST_F(ServerTest, WsdlTypesFollowTheOperationTable) {
  // Rows where the client's encoding depends on the declared type.
  struct Row {
    const char* controller;
    const char* op;
    std::vector<const char*> types;
  } rows[] = {
      {"ConfigurationController", "getEngineConfigValue", {"xsd:string", "xsd:int"}},
      {"ConfigurationController", "getHostByID", {"xsd:long"}},
      {"LoginManager", "integrationHostLogin",
       {"xsd:string", "xsd:long", "xsd:string", "xsd:string", "xsd:string", "xsd:string"}},
      {"FilePlanComponentController", "supercede", {"xsd:string", "xsd:dateTime"}},
      {"FilePlanComponentController", "getFilePlanComponentField", {"xsd:long", "xsd:string", "xsd:boolean"}},
      {"FilePlanComponentController", "getTargetList", {"xsd:long", "xsd:long", "xsd:int", "xsd:int"}},
  };
  for (const Row& r : rows) {
    const hollin::Operation* op = hollin::findOperation(r.controller, r.op);
    ASSERT_NE(op, nullptr) << r.op;
    ASSERT_EQ(op->args.size(), r.types.size()) << r.op;
    for (size_t i = 0; i < r.types.size(); ++i) EXPECT_STREQ(hollin::xsdType(op->args[i]), r.types[i]) << r.op;
  }
  EXPECT_EQ(hollin::findOperation("FilePlanComponentController", "addFilePlanComponent")->result,
            hollin::ResultType::kLong);
  EXPECT_EQ(hollin::findOperation("ClientController", "logout")->result, hollin::ResultType::kNone);
}

// ---- sessions and logins ----

TEST_F(ServerTest, LoginGivesRandomKeyAndDistinctHandles) {
  Login a = admin();
  Login b = admin();
  EXPECT_EQ(a.clientKey.size(), 32u);
  EXPECT_NE(a.clientKey, b.clientKey);
  std::set<std::string> all;
  for (const auto& kv : a.handles) all.insert(kv.second);
  for (const auto& kv : b.handles) all.insert(kv.second);
  EXPECT_EQ(all.size(), 18u);  // 9 per session, none shared
  Reply r = callAs(client, a, "ConfigurationController", "getEngineConfigValue", {std::string("NXDocumentID"), std::string("0")});
  EXPECT_EQ(r.result, "20");
}

TEST_F(ServerTest, LoginFailuresNameTheReason) {
  struct Row {
    std::string op;
    std::vector<Arg> args;
    std::string description;
  } rows[] = {
      {"integrationLogin", {std::string("administrator"), std::string("nope"), std::string("HollinDS"), std::string(""), std::string("en")},
       "wrong password for user \"administrator\""},
      {"integrationLogin", {std::string("nobody"), std::string("x"), std::string("HollinDS"), std::string(""), std::string("en")},
       "unknown user \"nobody\""},
      {"integrationLogin", {std::string("administrator"), std::string("hollin-admin"), std::string("OtherDS"), std::string(""), std::string("en")},
       "unknown database alias \"OtherDS\""},
      {"integrationLogin", {std::string("clerk"), std::string("clerk-pw"), std::string("HollinDS"), std::string("<List><Item/></List>"), std::string("en")},
       "group list entry without an XtGrpID attribute"},
      {"integrationHostLogin", {std::string("L::@%@::u"), std::string("1"), std::string("bad"), std::string("HollinDS"), std::string(""), std::string("en")},
       "wrong host password for host 1"},
      {"integrationHostLogin", {std::string("L::@%@::u"), std::string("9"), std::string("host-pw"), std::string("HollinDS"), std::string(""), std::string("en")},
       "unknown host id 9"},
      {"integrationHostLogin", {std::string(""), std::string("1"), std::string("host-pw"), std::string("HollinDS"), std::string(""), std::string("en")},
       "empty user key"},
      {"integrationHostLoginByName", {std::string("NOHOST"), std::string("u"), std::string("host-pw"), std::string("HollinDS"), std::string(""), std::string("en")},
       "unknown host \"NOHOST\""},
  };
  for (const Row& r : rows) expectFault(client.call("LoginManager", r.op, r.args), r.description);
  // A malformed group list is refused as such, whatever the login.
  Reply bad = client.call("LoginManager", "integrationLogin",
                          {std::string("clerk"), std::string("clerk-pw"), std::string("HollinDS"), std::string("<List>"), std::string("en")});
  EXPECT_EQ(bad.description.rfind("malformed XML in group list", 0), 0u) << bad.body;
}

TEST_F(ServerTest, HandlesAreCheckedOnEveryControllerCall) {
  Login a = admin();
  const std::vector<Arg> args = {std::string("NXDocumentID"), std::string("0")};
  expectFault(client.call("ConfigurationController", "getEngineConfigValue", args),
              "missing SessionHandle header for ConfigurationController");
  expectFault(client.call("ConfigurationController", "getEngineConfigValue", args, std::string("feed")),
              "unknown handle for ConfigurationController");
  expectFault(client.call("ConfigurationController", "getEngineConfigValue", args, a.handles["UserController"]),
              "handle belongs to UserController, not to ConfigurationController");
  expectFault(client.call("ConfigurationController", "getEngineConfigValue", args, a.clientKey),
              "handle belongs to ClientController, not to ConfigurationController");
  // The login manager needs none.
  EXPECT_FALSE(client.call("LoginManager", "getEngineVersion", {}).fault);
}

TEST_F(ServerTest, LogoutEndsTheSessionAndItsHandles) {
  Login a = admin();
  Login b = admin();
  Reply out = callAs(client, a, "ClientController", "logout", {});
  EXPECT_EQ(out.status, 200) << out.body;
  EXPECT_FALSE(out.hasReturn);
  expectFault(callAs(client, a, "UserController", "getuserid", {}), "unknown handle for UserController");
  expectFault(callAs(client, a, "ClientController", "logout", {}), "unknown handle for ClientController");
  // Other sessions are untouched; logging in again works.
  EXPECT_FALSE(callAs(client, b, "UserController", "getuserid", {}).fault);
  Login c = admin();
  EXPECT_FALSE(callAs(client, c, "UserController", "getuserid", {}).fault);
}

TEST_F(ServerTest, ActionMaskAndUserIdFollowTheLogin) {
  Login adm = admin();
  Login pub = loginHost(client, "QELLIB::@%@::alice", "<List><Item XtGrpID=\"QELLIB::@%@::DVXPUBLC\"/></List>");
  Login none = loginHost(client, "QELLIB::@%@::bob", "<List></List>");
  Login aud = loginAccount(client, "auditor", "auditor-pw");
  struct Row {
    const Login* who;
    long long mask;
  } rows[] = {{&adm, 0xFF}, {&pub, 0x5B}, {&none, 0}, {&aud, 0x0A}};
  for (const Row& r : rows) {
    EXPECT_EQ(callAs(client, *r.who, "UserController", "getUserActionMask", {}).result, std::to_string(r.mask));
  }
  EXPECT_TRUE(0x5B & 0x10);  // the public group may declare
  std::string alice = callAs(client, pub, "UserController", "getuserid", {}).result;
  Login again = loginHost(client, "QELLIB::@%@::alice", "");
  EXPECT_EQ(callAs(client, again, "UserController", "getuserid", {}).result, alice);
  EXPECT_NE(callAs(client, none, "UserController", "getuserid", {}).result, alice);
  Login byName = fetchHandles(client, client.call("LoginManager", "integrationHostLoginByName",
      {std::string("QELLIB"), std::string("QELLIB::@%@::alice"), std::string("host-pw"), std::string("HollinDS"), std::string(""), std::string("en")}).result);
  EXPECT_EQ(callAs(client, byName, "UserController", "getuserid", {}).result, alice);
}

// ---- faults on the wire ----

TEST_F(ServerTest, MalformedRequestsAreClientFaults) {
  Reply r = client.post("LoginManager", "<not xml");
  EXPECT_EQ(r.status, 500);
  EXPECT_EQ(r.faultcode, "soap:Client");
  EXPECT_EQ(r.description.rfind("malformed XML in request", 0), 0u) << r.body;
  Login a = admin();
  expectFault(callAs(client, a, "ConfigurationController", "getHostByID", {std::string("one")}),
              "argument arg0 of getHostByID is not a valid xsd:long: \"one\"");
  expectFault(callAs(client, a, "ConfigurationController", "getHostByID", {}),
              "missing argument arg0 of getHostByID");
  expectFault(callAs(client, a, "ConfigurationController", "addTarget", {}),
              "unknown operation addTarget for ConfigurationController");
  auto res = client.http().Post("/services/LoginManagerEJBService", std::string(5 * 1024 * 1024, 'x'), "text/xml");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 413);
}

// ---- configuration ----

TEST_F(ServerTest, EngineConfigValues) {
  Login a = admin();
  auto cfg = [&](const std::string& op, const std::vector<Arg>& args) {
    return callAs(client, a, "ConfigurationController", op, args);
  };
  EXPECT_EQ(cfg("getEngineConfigValue", {std::string("NXCrsRefViewID"), std::string("0")}).result, "4");
  EXPECT_FALSE(cfg("setEngineConfigValue", {std::string("NXDocumentID"), std::string("0"), std::string("-7")}).fault);
  EXPECT_EQ(cfg("getEngineConfigValue", {std::string("NXDocumentID"), std::string("0")}).result, "-7");
  EXPECT_FALSE(cfg("setEngineConfigValue", {std::string("New&<Key>"), std::string("0"), std::string("a<b")}).fault);
  EXPECT_EQ(cfg("getEngineConfigValue", {std::string("New&<Key>"), std::string("0")}).result, "a<b");
  auto list = items(cfg("getEngineConfigValueList", {}).result);
  bool found = false;
  for (auto& i : list) found |= i["EngCfgKey"] == "New&<Key>" && i["EngCfgVal"] == "a<b";
  EXPECT_TRUE(found);
  EXPECT_FALSE(cfg("deleteEngineConfigValue", {std::string("New&<Key>"), std::string("0")}).fault);
  expectFault(cfg("getEngineConfigValue", {std::string("New&<Key>"), std::string("0")}),
              "unknown engine configuration key \"New&<Key>\"");
  expectFault(cfg("deleteEngineConfigValue", {std::string("New&<Key>"), std::string("0")}),
              "unknown engine configuration key \"New&<Key>\"");
  expectFault(cfg("getEngineConfigValue", {std::nullopt, std::string("0")}), "empty engine configuration key");
  // The integer argument scopes the key.
  expectFault(cfg("getEngineConfigValue", {std::string("NXEmailID"), std::string("1")}),
              "unknown engine configuration key \"NXEmailID\"");
}

// Engine configuration values against a std::map model, seeded random
// sequence of set, get, delete and list.
TEST_F(ServerTest, EngineConfigMatchesAMapModel) {
  Login a = admin();
  std::map<std::pair<std::string, int>, std::string> model;
  for (const char* k : {"NXDocumentID", "NXEmailID", "NXSprsdViewID", "NXVersionViewID", "NXCrsRefViewID"}) {
    model[{k, 0}] = callAs(client, a, "ConfigurationController", "getEngineConfigValue", {std::string(k), std::string("0")}).result;
  }
  std::mt19937 rng(20261211);
  const std::vector<std::string> keys = {"NXDocumentID", "NXEmailID", "k&1", "<k2>", "k 3"};
  for (int step = 0; step < 300; ++step) {
    std::string key = keys[rng() % keys.size()];
    int scope = int(rng() % 2);
    std::string value = std::to_string(int(rng() % 2000) - 1000) + (rng() % 4 == 0 ? "<x>&" : "");
    int op = int(rng() % 4);
    auto k = std::make_pair(key, scope);
    SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op) + " key " + key);
    if (op == 0) {
      ASSERT_FALSE(callAs(client, a, "ConfigurationController", "setEngineConfigValue",
                          {key, std::to_string(scope), value}).fault);
      model[k] = value;
    } else if (op == 1) {
      Reply r = callAs(client, a, "ConfigurationController", "getEngineConfigValue", {key, std::to_string(scope)});
      ASSERT_EQ(r.fault, model.count(k) == 0) << r.body;
      if (!r.fault) {
        ASSERT_EQ(r.result, model[k]);
      }
    } else if (op == 2) {
      Reply r = callAs(client, a, "ConfigurationController", "deleteEngineConfigValue", {key, std::to_string(scope)});
      ASSERT_EQ(r.fault, model.erase(k) == 0) << r.body;
    } else {
      std::map<std::pair<std::string, int>, std::string> listed;
      for (auto& i : items(callAs(client, a, "ConfigurationController", "getEngineConfigValueList", {}).result)) {
        listed[{i["EngCfgKey"], std::stoi(i["EngCfgScope"])}] = i["EngCfgVal"];
      }
      ASSERT_EQ(listed, model);
    }
  }
}

TEST_F(ServerTest, HostsUserConfigAndBarCodes) {
  Login a = admin();
  Login clerk = loginAccount(client, "clerk", "clerk-pw");
  auto hosts = items(callAs(client, a, "ConfigurationController", "getHostList", {}).result);
  ASSERT_EQ(hosts.size(), 1u);
  EXPECT_EQ(hosts[0]["RecHsID"], "1");
  EXPECT_EQ(hosts[0]["RecHsNm"], "QELLIB");
  auto host = items(callAs(client, a, "ConfigurationController", "getHostByID", {std::string("1")}).result);
  std::string name;
  for (auto& e : host) {
    if (e["FlPlnCmpntAttrDefColNm"] == "RecHsNm") name = e["#text"];
  }
  EXPECT_EQ(name, "QELLIB");
  expectFault(callAs(client, a, "ConfigurationController", "getHostByID", {std::string("2")}), "unknown host id 2");

  EXPECT_EQ(callAs(client, clerk, "ConfigurationController", "getUserConfigValue", {std::string("0"), std::string("DefaultFolder")}).result, "101");
  EXPECT_EQ(callAs(client, a, "ConfigurationController", "getUserConfigValue", {std::string("0"), std::string("DefaultFolder")}).result, "");
  expectFault(callAs(client, a, "ConfigurationController", "getUserConfigValue", {std::string("999"), std::string("k")}), "unknown user id 999");

  std::string b1 = callAs(client, a, "ConfigurationController", "getNextBarCode", {}).result;
  std::string b2 = callAs(client, clerk, "ConfigurationController", "getNextBarCode", {}).result;
  EXPECT_EQ(b1, "HB00000001");
  EXPECT_EQ(b2, "HB00000002");
}

// ---- definitions and design ----

TEST_F(ServerTest, DefinitionsCarryTheirAttributeDefinitions) {
  Login a = admin();
  auto defs = items(callAs(client, a, "DefinitionController", "getComponentDefinitionList", {}).result);
  std::map<std::string, std::string> kinds;
  for (auto& d : defs) kinds[d["FlPlnCmpntDefID"]] = d["FlPlnCmpntDefTyp"];
  EXPECT_EQ(kinds, (std::map<std::string, std::string>{{"10", "container"}, {"11", "container"}, {"20", "record"}, {"21", "record"}}));
  for (const char* id : {"20", "21"}) {
    auto attrs = items(callAs(client, a, "DefinitionController", "getComponentDefinitionById", {std::string(id)}).result);
    std::set<std::string> cols;
    for (auto& at : attrs) cols.insert(at["FlPlnCmpntAttrDefColNm"]);
    EXPECT_TRUE(cols.count("XtRecID") && cols.count("RecHsID")) << id;
  }
  expectFault(callAs(client, a, "DefinitionController", "getComponentDefinitionById", {std::string("99")}),
              "unknown component definition id 99");
}

TEST_F(ServerTest, ViewsAndRelationshipDefinitions) {
  Login a = admin();
  auto views = items(callAs(client, a, "FilePlanDesignController", "getFilePlanViewList", {std::string("true")}).result);
  ASSERT_EQ(views.size(), 4u);
  EXPECT_EQ(views[1]["FlPlnViewTyp"], "supersede");
  auto one = items(callAs(client, a, "FilePlanDesignController", "getFilePlanViewByID", {std::string("3")}).result);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0]["FlPlnViewNm"], "Versions");
  auto rels = items(callAs(client, a, "FilePlanDesignController", "getRelationshipDefinitionListByFPViewID", {std::string("1")}).result);
  std::set<std::pair<std::string, std::string>> pairs;
  for (auto& r : rels) pairs.insert({r["FlPlnCmpntDefSrcID"], r["FlPlnCmpntDefTgtID"]});
  EXPECT_TRUE(pairs.count({"11", "20"}));
  EXPECT_FALSE(pairs.count({"20", "20"}));
  EXPECT_EQ(items(callAs(client, a, "FilePlanDesignController", "getRelationshipDefinitionList", {}).result).size(), 16u);
  expectFault(callAs(client, a, "FilePlanDesignController", "getRelationshipDefinitionListByFPViewID", {std::string("9")}),
              "unknown file-plan view id 9");
}

// ---- file-plan components ----

TEST_F(ServerTest, AddReadAndDeleteComponents) {
  Login a = admin();
  long long id = addDocument(a, "Budget <2027> & more");
  ASSERT_GT(id, 102);
  std::string sid = std::to_string(id);
  EXPECT_EQ(fpc(a, "getFilePlanComponentField", {sid, std::string("FlPlnCmpntDefID"), std::string("false")}).result, "20");
  EXPECT_EQ(fpc(a, "getFilePlanComponentField", {sid, std::string("XtRecID"), std::string("true")}).result, "QELLIB::@%@::PID-1");
  EXPECT_EQ(fpc(a, "getFilePlanComponentField", {sid, std::string("FlPlnCmpntNm"), std::string("false")}).result, "Budget <2027> & more");
  expectFault(fpc(a, "getFilePlanComponentField", {sid, std::string("Nope"), std::string("false")}),
              "unknown field \"Nope\" of component " + sid);
  auto cols = items(fpc(a, "getFilePlanComponentById", {sid}).result);
  std::map<std::string, std::string> byName;
  for (auto& c : cols) byName[c["FlPlnCmpntAttrDefColNm"]] = c["#text"];
  EXPECT_EQ(byName["RecHsID"], "1");
  EXPECT_EQ(byName["FlPlnCmpntParentID"], "101");
  EXPECT_EQ(fpc(a, "getFilePlanComponentPrimaryViewId", {sid}).result, "1");

  pugi::xml_document path;
  ASSERT_TRUE(path.load_string(fpc(a, "getFullPathById", {sid, std::string("1")}).result.c_str()));
  EXPECT_STREQ(path.child("List").attribute("FullPath").value(), "/Hollin file plan/Correspondence/Budget <2027> & more");
  auto structure = items(fpc(a, "getFilePlanComponentStructure", {std::string("100")}).result);
  ASSERT_EQ(structure.size(), 4u);
  EXPECT_EQ(structure[1]["FlPlnCmpntID"], "101");
  EXPECT_EQ(structure[2]["FlPlnCmpntID"], sid);
  EXPECT_EQ(structure[2]["Lvl"], "2");

  // The hierarchy view's links are the placement.
  auto children = items(fpc(a, "getTargetList", {std::string("1"), std::string("101"), std::string("0"), std::string("0")}).result);
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(children[0]["FlPlnCmpntID"], sid);
  auto parent = items(fpc(a, "getSourceList", {std::string("1"), sid, std::string("0"), std::string("0")}).result);
  ASSERT_EQ(parent.size(), 1u);
  EXPECT_EQ(parent[0]["FlPlnCmpntID"], "101");

  expectFault(fpc(a, "deleteFilePlanComponent", {std::string("101"), std::string("0")}), "component 101 has child components");
  EXPECT_FALSE(fpc(a, "deleteFilePlanComponent", {sid, std::string("0")}).fault);
  expectFault(fpc(a, "getFilePlanComponentById", {sid}), "unknown file-plan component id " + sid);
  EXPECT_FALSE(fpc(a, "deleteFilePlanComponent", {std::string("101"), std::string("1")}).fault);
  EXPECT_EQ(structureSize(a), 2u);
}

TEST_F(ServerTest, BadAttributeDocumentsAreRefusedAndNothingIsWritten) {
  Login a = admin();
  const std::string ok = docAttrs("t");
  struct Row {
    std::string def, xml, parent, description;
  } rows[] = {
      {"20", "<List><Item", "101", "malformed XML in attribute document: "},
      {"20", "", "101", "malformed XML in attribute document: "},
      {"99", ok, "101", "unknown component definition id 99"},
      {"20", ok, "999", "unknown file-plan component id 999"},
      {"20", ok, "0", "only the administrator may add a top-level container"},
      {"20", "<List><Item FlPlnCmpntAttrDefColNm=\"XtRecID\">k</Item><Item FlPlnCmpntAttrDefColNm=\"RecHsID\">1</Item><Item FlPlnCmpntAttrDefColNm=\"Bogus\">x</Item></List>",
       "101", "unknown attribute column \"Bogus\" for definition 20"},
      {"20", "<List><Item FlPlnCmpntAttrDefColNm=\"RecHsID\">1</Item></List>", "101",
       "required attribute \"XtRecID\" is missing or empty"},
      {"20", "<List><Item FlPlnCmpntAttrDefColNm=\"XtRecID\">k</Item><Item FlPlnCmpntAttrDefColNm=\"RecHsID\">7</Item></List>",
       "101", "unknown host id 7"},
      {"20", "<List><Item FlPlnCmpntAttrDefColNm=\"XtRecID\">k</Item><Item FlPlnCmpntAttrDefColNm=\"RecHsID\">one</Item></List>",
       "101", "value of \"RecHsID\" is not a decimal number: \"one\""},
      {"20", "<List><Item FlPlnCmpntAttrDefColNm=\"XtRecID\">k</Item><Item FlPlnCmpntAttrDefColNm=\"XtRecID\">k</Item></List>",
       "101", "attribute column \"XtRecID\" given twice"},
      {"20", "<List><Item>k</Item></List>", "101", "attribute entry without FlPlnCmpntAttrDefColNm"},
      {"20", "<List><Item FlPlnCmpntAttrDefColNm=\"XtRecID\">k</Item><Item FlPlnCmpntAttrDefColNm=\"RecHsID\">1</Item><Item FlPlnCmpntAttrDefColNm=\"DocDate\">yesterday</Item></List>",
       "101", "value of \"DocDate\" is not a date: \"yesterday\""},
      {"11", "<List><Item FlPlnCmpntAttrDefColNm=\"FlPlnCmpntTtl\">x</Item></List>", "999", "unknown file-plan component id 999"},
      {"10", "<List><Item FlPlnCmpntAttrDefColNm=\"FlPlnCmpntTtl\">x</Item></List>", "101",
       "definition 10 may not be placed under definition 11"},
  };
  long long record = addDocument(a, "a record");
  for (const Row& r : rows) {
    Reply reply = fpc(a, "addFilePlanComponent", {r.def, r.xml, r.parent});
    EXPECT_EQ(reply.status, 500) << r.xml;
    EXPECT_EQ(reply.description.substr(0, r.description.size()), r.description) << r.xml << "\n" << reply.body;
  }
  expectFault(fpc(a, "addFilePlanComponent", {std::string("20"), ok, std::to_string(record)}),
              "component " + std::to_string(record) + " is not a container");
  EXPECT_EQ(structureSize(a), 4u);  // root, two folders, the one record
}

TEST_F(ServerTest, PlacementAndDeclarationFollowPermissions) {
  Login none = loginHost(client, "QELLIB::@%@::bob", "");
  Login pub = loginHost(client, "QELLIB::@%@::alice", "<List><Item XtGrpID=\"QELLIB::@%@::DVXPUBLC\"/></List>");
  expectFault(fpc(none, "addFilePlanComponent", {std::string("20"), docAttrs("x"), std::string("101")}),
              "user QELLIB::@%@::bob may not declare records");
  EXPECT_GT(addDocument(pub, "mine"), 0);
  expectFault(fpc(pub, "addFilePlanComponent", {std::string("11"), std::string("<List><Item FlPlnCmpntAttrDefColNm=\"FlPlnCmpntTtl\">x</Item></List>"), std::string("0")}),
              "only the administrator may add a top-level container");

  auto perms = items(fpc(pub, "getEffectiveUserPermissionsList", {std::string("101")}).result);
  std::map<std::string, long> masks;
  for (auto& p : perms) masks[p["FlPlnCmpntDefID"]] = std::stol(p["FlPlnCmpntActnMsk"]);
  EXPECT_EQ(masks["20"], 0x5B);          // may be placed in a folder
  EXPECT_EQ(masks["10"], 0x5B & ~0x01);  // a file plan may not
  auto bobs = items(fpc(none, "getEffectiveUserPermissionsList", {std::string("101")}).result);
  for (auto& p : bobs) EXPECT_EQ(p["FlPlnCmpntActnMsk"], "0");
}

TEST_F(ServerTest, PermissionListIsInheritedFromTheNearestOwner) {
  Login a = admin();
  auto perms = items(fpc(a, "getPermissionList", {std::string("101"), std::string("1"), std::string("11")}).result);
  ASSERT_EQ(perms.size(), 3u);
  EXPECT_EQ(perms[0]["UsrGrpNm"], "AUDITOR");
  EXPECT_EQ(perms[0]["UsrGrpTyp"], "2");
  EXPECT_EQ(perms[0]["AccCtrlPlcyID"], "3");
  EXPECT_EQ(perms[0]["FlPlnCmpntActnMsk"], "10");
  EXPECT_EQ(perms[0]["FlPlnCmpntID"], "100");
  EXPECT_EQ(perms[2]["UsrGrpNm"], "RECMGR");
  EXPECT_EQ(perms[2]["FlPlnCmpntActnMsk"], "255");
  EXPECT_EQ(items(fpc(a, "getPermissionList", {std::string("101"), std::string("1"), std::string("0")}).result).size(), 3u);
  expectFault(fpc(a, "getPermissionList", {std::string("101"), std::string("5"), std::string("11")}), "unknown host id 5");
  expectFault(fpc(a, "getPermissionList", {std::string("101"), std::string("1"), std::string("20")}),
              "definition 20 is not the definition of component 101");
  auto changed = items(fpc(a, "getFilePlanComponentsWithChangedPermissions", {std::string("-1"), std::string("0"), std::string("0")}).result);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0]["FlPlnCmpntID"], "100");
}

// ---- links and supersession ----

TEST_F(ServerTest, VersionChainCrossReferencesAndSupersession) {
  Login a = admin();
  long long v1 = addDocument(a, "v1"), v2 = addDocument(a, "v2"), v3 = addDocument(a, "v3");
  long long support = addDocument(a, "support", 102);
  auto link = [&](long long src, const std::string& entries) {
    return fpc(a, "addTarget", {std::to_string(src), "<List>\n" + entries + "</List>"});
  };
  auto entry = [](long long id, int view) {
    return "<Item FlPlnCmpntID=\"" + std::to_string(id) + "\" FlPlnViewID=\"" + std::to_string(view) + "\"/>\n";
  };
  ASSERT_FALSE(link(v2, entry(v1, 3)).fault);
  ASSERT_FALSE(link(v3, entry(v2, 3) + entry(support, 4) + entry(v2, 2)).fault);
  ASSERT_FALSE(link(v3, entry(v2, 3)).fault);  // again: no duplicate

  auto ids = [&](const std::string& op, int view, long long id) {
    std::vector<std::string> out;
    for (auto& i : items(fpc(a, op, {std::to_string(view), std::to_string(id), std::string("0"), std::string("0")}).result)) {
      EXPECT_EQ(i["FlPlnViewID"], std::to_string(view));
      out.push_back(i["FlPlnCmpntID"]);
    }
    return out;
  };
  EXPECT_EQ(ids("getTargetList", 3, v2), std::vector<std::string>{std::to_string(v1)});  // older
  EXPECT_EQ(ids("getSourceList", 3, v2), std::vector<std::string>{std::to_string(v3)});  // newer
  EXPECT_EQ(ids("getTargetList", 4, v3), std::vector<std::string>{std::to_string(support)});
  EXPECT_EQ(ids("getSourceList", 2, v2), std::vector<std::string>{std::to_string(v3)});  // superseded by
  EXPECT_TRUE(ids("getSourceList", 2, v3).empty());
  // Paging: start 1 of v3's targets in view 3 is empty.
  EXPECT_TRUE(items(fpc(a, "getTargetList", {std::string("3"), std::to_string(v3), std::string("1"), std::string("0")}).result).empty());

  EXPECT_FALSE(fpc(a, "supercede", {"<List>" + entry(v2, 2) + "</List>", std::string("2026-12-11T09:30:00")}).fault);
  EXPECT_EQ(fpc(a, "getFilePlanComponentField", {std::to_string(v2), std::string("FlPlnCmpntSprsdDt"), std::string("false")}).result,
            "2026-12-11T09:30:00");
  expectFault(fpc(a, "supercede", {"<List>" + entry(v1, 2) + "</List>", std::string("2026-12-11T09:30:00")}),
              "component " + std::to_string(v1) + " has no superseding record in view 2");
  expectFault(fpc(a, "supercede", {"<List>" + entry(v1, 3) + "</List>", std::string("2026-12-11T09:30:00")}),
              "view 3 is not a supersede view");
  expectFault(fpc(a, "supercede", {"<List/>", std::string("11.12.2026")}),
              "argument arg1 of supercede is not a valid xsd:dateTime: \"11.12.2026\"");

  // Deleting a linked record needs the links option.
  expectFault(fpc(a, "deleteFilePlanComponent", {std::to_string(v2), std::string("0")}),
              "component " + std::to_string(v2) + " has links");
  EXPECT_FALSE(fpc(a, "deleteFilePlanComponent", {std::to_string(v2), std::string("3")}).fault);
  EXPECT_TRUE(ids("getTargetList", 3, v3).empty());
}

TEST_F(ServerTest, BadLinksAreRefusedAsAWhole) {
  Login a = admin();
  long long r1 = addDocument(a, "r1"), r2 = addDocument(a, "r2");
  std::string good = "<Item FlPlnCmpntID=\"" + std::to_string(r2) + "\" FlPlnViewID=\"4\"/>";
  struct Row {
    std::string entry, description;
  } rows[] = {
      {"<Item FlPlnCmpntID=\"999\" FlPlnViewID=\"4\"/>", "unknown file-plan component id 999"},
      {"<Item FlPlnCmpntID=\"" + std::to_string(r2) + "\" FlPlnViewID=\"8\"/>", "unknown file-plan view id 8"},
      {"<Item FlPlnCmpntID=\"" + std::to_string(r2) + "\" FlPlnViewID=\"1\"/>", "view 1 is the file-plan hierarchy; it takes no links"},
      {"<Item FlPlnCmpntID=\"101\" FlPlnViewID=\"4\"/>", "view 4 has no relationship from definition 20 to definition 11"},
      {"<Item FlPlnCmpntID=\"" + std::to_string(r1) + "\" FlPlnViewID=\"4\"/>", "component " + std::to_string(r1) + " cannot link to itself"},
      {"<Item FlPlnViewID=\"4\"/>", "links document entry without a FlPlnCmpntID attribute"},
      {"<Item FlPlnCmpntID=\"x\" FlPlnViewID=\"4\"/>", "links document attribute FlPlnCmpntID is not a decimal number: \"x\""},
  };
  for (const Row& r : rows) {
    // The good entry comes first: it must not stay behind.
    expectFault(fpc(a, "addTarget", {std::to_string(r1), "<List>" + good + r.entry + "</List>"}), r.description);
  }
  Reply malformed = fpc(a, "addTarget", {std::to_string(r1), std::string("<List>")});
  EXPECT_EQ(malformed.description.rfind("malformed XML in links document", 0), 0u) << malformed.body;
  expectFault(fpc(a, "addTarget", {std::string("999"), std::string("<List/>")}), "unknown file-plan component id 999");
  EXPECT_TRUE(items(fpc(a, "getTargetList", {std::string("4"), std::to_string(r1), std::string("0"), std::string("0")}).result).empty());
}

TEST_F(ServerTest, FailedCallsLeaveNothingHalfWritten) {
  Login a = admin();
  long long old1 = addDocument(a, "old1", 102), old2 = addDocument(a, "old2", 102);
  long long fresh = addDocument(a, "new", 101);
  auto entry = [](long long id, int view) {
    return "<Item FlPlnCmpntID=\"" + std::to_string(id) + "\" FlPlnViewID=\"" + std::to_string(view) + "\"/>";
  };
  ASSERT_FALSE(fpc(a, "addTarget", {std::to_string(fresh), "<List>" + entry(old1, 2) + "</List>"}).fault);
  // The second entry has no superseding link: the first must not be marked either.
  expectFault(fpc(a, "supercede", {"<List>" + entry(old1, 2) + entry(old2, 2) + "</List>", std::string("2026-01-02T03:04:05")}),
              "component " + std::to_string(old2) + " has no superseding record in view 2");
  EXPECT_EQ(fpc(a, "getFilePlanComponentField", {std::to_string(old1), std::string("FlPlnCmpntSprsdDt"), std::string("false")}).result, "");
  // A subtree delete that meets a linked record deletes nothing.
  size_t before = structureSize(a);
  expectFault(fpc(a, "deleteFilePlanComponent", {std::string("102"), std::string("1")}),
              "component " + std::to_string(old1) + " has links");
  EXPECT_EQ(structureSize(a), before);
  EXPECT_FALSE(fpc(a, "deleteFilePlanComponent", {std::string("102"), std::string("3")}).fault);
  EXPECT_EQ(structureSize(a), before - 3);
  EXPECT_TRUE(items(fpc(a, "getTargetList", {std::string("2"), std::to_string(fresh), std::string("0"), std::string("0")}).result).empty());
}

TEST_F(ServerTest, StoreFailureMidCallRollsBackAndIsAServerFault) {
  Login a = admin();
  // A trigger makes the store fail on the last statement of the call,
  // after the component row itself was written.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir.path() + "/store.db").c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 5000);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TRIGGER boom BEFORE INSERT ON component_attr WHEN NEW.value='boom'"
                         " BEGIN SELECT RAISE(ABORT, 'injected failure'); END;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  size_t before = structureSize(a);
  Reply r = fpc(a, "addFilePlanComponent", {std::string("20"), docAttrs("boom"), std::string("101")});
  EXPECT_EQ(r.status, 500);
  EXPECT_EQ(r.faultcode, "soap:Server");
  EXPECT_EQ(r.description, "internal server error");  // the store's text stays in the log
  EXPECT_EQ(structureSize(a), before);
  EXPECT_GT(addDocument(a, "fine"), 0);  // the store is usable afterwards
}

// ---- tools, life cycle, component design ----

TEST_F(ServerTest, AuditEntriesAreKept) {
  Login a = admin();
  Login alice = loginHost(client, "QELLIB::@%@::alice", "");
  long long r = addDocument(a, "audited");
  std::string sr = std::to_string(r);
  EXPECT_FALSE(callAs(client, alice, "ToolsController", "addAuditEntry", {sr, std::string("64"), std::string("Viewed <by> host")}).fault);
  EXPECT_FALSE(callAs(client, a, "ToolsController", "addAuditEntry", {sr, std::string("64"), std::nullopt}).fault);
  expectFault(callAs(client, a, "ToolsController", "addAuditEntry", {std::string("999"), std::string("64"), std::string("x")}),
              "unknown file-plan component id 999");
  auto entries = items(callAs(client, a, "ToolsController", "getAuditEntryList", {sr}).result);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0]["AudEvtCd"], "64");
  EXPECT_EQ(entries[0]["AudTxt"], "Viewed <by> host");
  EXPECT_EQ(entries[0]["UsrNm"], "QELLIB::@%@::alice");
  EXPECT_EQ(entries[1]["AudTxt"], "");
  EXPECT_EQ(entries[1]["UsrNm"], "administrator");
}

TEST_F(ServerTest, CatalogAnswers) {
  Login a = admin();
  struct Row {
    const char* controller;
    const char* op;
    std::vector<Arg> args;
    size_t count;
    const char* attr;
    const char* firstValue;
  } rows[] = {
      {"LifeCycleDesignController", "getDisposalAuthorityList", {}, 2, "DspAuthNm", "GDA-1"},
      {"LifeCycleDesignController", "getLifeCycleManagementCodeList", {std::string("0"), std::string("0")}, 2, "LfCycMgmtCdNm", "ACTIVE"},
      {"LifeCycleDesignController", "getLifeCyclePhaseDefinitionList", {std::string("1"), std::string("1")}, 1, "LfCycPhsDefNm", "Semi-active"},
      {"ComponentDesignController", "getPickListEntryList", {std::string("1"), std::string("0"), std::string("0")}, 2, "PckLstEntVal", "Internal"},
      {"ComponentDesignController", "getPickListEntryListForUser", {std::string("1"), std::string("0")}, 2, "PckLstEntVal", "Internal"},
      {"ComponentDesignController", "getPickListEntryList", {std::string("2"), std::string("0"), std::string("0")}, 0, "", ""},
      {"ComponentDesignController", "getProfileListForUserGroup", {std::string("21"), std::string("0")}, 1, "PrflNm", "Standard e-mail"},
      {"ComponentDesignController", "getDefaultListForUserGroup", {std::string("20"), std::string("0")}, 1, "FlPlnCmpntAttrDefColNm", "DocMimeType"},
      {"ComponentDesignController", "getDefaultImageById", {std::string("1")}, 1, "ImgNm", "record.png"},
      {"ComponentDesignController", "getProfileImageById", {std::string("1")}, 1, "ImgID", "1"},
      {"FilePlanComponentController", "getAutoClassifyString", {std::string("20"), std::string("re: PROJECTS update")}, 1, "FlPlnCmpntID", "102"},
  };
  for (const Row& r : rows) {
    Reply reply = callAs(client, a, r.controller, r.op, r.args);
    ASSERT_FALSE(reply.fault) << r.op << reply.body;
    auto list = items(reply.result);
    ASSERT_EQ(list.size(), r.count) << r.op;
    if (r.count) {
      EXPECT_EQ(list[0][r.attr], r.firstValue) << r.op;
    }
  }
  expectFault(callAs(client, a, "ComponentDesignController", "getDefaultImageById", {std::string("5")}), "unknown image id 5");
  expectFault(callAs(client, a, "LifeCycleDesignController", "getLifeCycleManagementCodeList", {std::string("-1"), std::string("0")}),
              "paging arguments must not be negative");
}

// ---- concurrency ----

TEST_F(ServerTest, EightConcurrentClients) {
  constexpr int kClients = 8, kEach = 10;
  std::vector<std::vector<long long>> ids(kClients);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kClients; ++t) {
    threads.emplace_back([&, t] {
      SoapClient c(server.port());
      Login who = loginHost(c, "QELLIB::@%@::user" + std::to_string(t),
                            "<List><Item XtGrpID=\"QELLIB::@%@::DVXPUBLC\"/></List>");
      for (int i = 0; i < kEach; ++i) {
        Reply r = callAs(c, who, "FilePlanComponentController", "addFilePlanComponent",
                         {std::string("20"), docAttrs("t" + std::to_string(t) + "-" + std::to_string(i)), std::string("102")});
        if (r.fault || r.status != 200) {
          ++failures;
          continue;
        }
        ids[t].push_back(std::stoll(r.result));
        Reply v = callAs(c, who, "ConfigurationController", "getEngineConfigValue", {std::string("NXVersionViewID"), std::string("0")});
        if (v.result != "3") ++failures;
      }
      if (callAs(c, who, "ClientController", "logout", {}).fault) ++failures;
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  std::set<long long> all;
  for (auto& v : ids) all.insert(v.begin(), v.end());
  EXPECT_EQ(all.size(), size_t(kClients * kEach));
  Login a = admin();
  EXPECT_EQ(items(fpc(a, "getTargetList", {std::string("1"), std::string("102"), std::string("0"), std::string("0")}).result).size(),
            size_t(kClients * kEach));
}

}  // namespace
}  // namespace hollin_test
