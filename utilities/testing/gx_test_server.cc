#include "gx_test_server.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

GxTestServer::GxTestServer(const std::string& name) : name_(name) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qelgx-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = buf.data();
  serversFile_ = dir_ + "/gxservers.conf";

  if (const char* old = std::getenv("GXSERVERS")) {
    hadServersEnv_ = true;
    oldServersEnv_ = old;
  }
  setenv("GXSERVERS", serversFile_.c_str(), 1);

  try {
    GxStoreAdminDVX::createServer(serversFile_, name_, dir_ + "/" + name_ + ".db");
    admin_ = std::make_unique<GxStoreAdminDVX>(serversFile_, name_);
    admin_->initQel(kQelAdminPw);
    admin_->addUser("alice", kAlicePw);
    admin_->addUser("bob", kBobPw);
    admin_->addGroup("Finance");
    admin_->addGroup("Legal");
    admin_->addMember("Finance", "alice");
    admin_->addMember("Legal", "alice");
  } catch (...) {
    admin_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    throw;
  }
}

GxTestServer::~GxTestServer() {
  for (auto& e : extra_) e.reset();
  admin_.reset();
  if (hadServersEnv_)
    setenv("GXSERVERS", oldServersEnv_.c_str(), 1);
  else
    unsetenv("GXSERVERS");
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

GxStoreAdminDVX& GxTestServer::addServer(const std::string& name) {
  for (auto& e : extra_) {
    if (e) continue;
    GxStoreAdminDVX::createServer(serversFile_, name, dir_ + "/" + name + ".db");
    e = std::make_unique<GxStoreAdminDVX>(serversFile_, name);
    e->initQel(kQelAdminPw);
    return *e;
  }
  throw std::runtime_error("GxTestServer: too many extra servers");
}

std::unique_ptr<GxDatastoreDVX> GxTestServer::connect(const std::string& user,
                                                      const std::string& password,
                                                      const std::string& server) const {
  auto ds = std::make_unique<GxDatastoreDVX>();
  ds->connect(GxString(server.empty() ? name_ : server), GxString(user), GxString(password),
              GxString(""));
  return ds;
}

std::string GxTestServer::writeFile(const std::string& fileName, const std::string& content) const {
  const std::string path = dir_ + "/" + fileName;
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}
