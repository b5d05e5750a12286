#include "qel_test_system.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/soap/soap_client.h"

namespace {

std::string makeTempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qele2e-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return buf.data();
}

}  // namespace

QelTestSystem::QelTestSystem() : dir_(makeTempDir()), recordsDb_(dir_ + "/hollin.db") {
  try {
    HollinServerOptions options;
    options.dbPath = recordsDb_;
    options.logPath = dir_ + "/hollin-server.log";
    records_ = std::make_unique<HollinServerProcess>(options);

    content_ = std::make_unique<GxTestServer>(kLibSer);
    GxStoreAdminDVX& admin = content_->admin();
    admin.addUser("carol", kCarolPw);
    admin.addGroup("RECMGR");
    admin.addMember("RECMGR", "carol");

    config_.LibSer = kLibSer;
    config_.ZulHost = "127.0.0.1";
    config_.ZulDB = kZulDB;
    config_.ZulPwd = kZulPwd;
    config_.ZulURL = records_->url().c_str();
    config_.ZulSURL = records_->url().c_str();
    config_.ZulORB = 0;
    config_.HostID = kHostID;
    config_.HostPW = kHostPW;
    config_.Outlook = "QELMail";
    config_.QELPwd = GxTestServer::kQelAdminPw;
    storeConfig(config_);
  } catch (...) {
    records_.reset();
    content_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    throw;
  }
}

QelTestSystem::~QelTestSystem() {
  // Kept-alive connections would hold the server's stop for seconds.
  qelsoapCloseConnections();
  qelsoapFlushWsdlCache();
  records_.reset();
  content_.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void QelTestSystem::storeConfig(TaVNcfgInfo_t info) {
  std::unique_ptr<GxDatastoreDVX> ds = content_->connectAdmin();
  if (SetTaVNcfgInfo(ds.get(), info) != 0)
    throw std::runtime_error("SetTaVNcfgInfo failed for the test system");
}

std::unique_ptr<GxDatastoreDVX> QelTestSystem::connect(const std::string& user,
                                                       const std::string& password) const {
  return content_->connect(user, password);
}
