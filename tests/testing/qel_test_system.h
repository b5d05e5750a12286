#pragma once
// QelTestSystem: both servers of the integration, ready for end-to-end tests.
//
// Construction, in a fresh temporary folder:
//  - starts hollin-server (HollinServerProcess) with the default seed;
//  - makes an embedded content-management server named kLibSer
//    (GxTestServer: "qeladmin", the "QELconfig", "QELDocument" and "QELMail"
//    item types, users alice, bob and carol, see below) and points GXSERVERS
//    at it for this process;
//  - stores the configuration record (SetTaVNcfgInfo) that joins the two.
// Destruction stops the records server and removes the folder.
//
//   content-management user  password  groups           records-server mask
//   alice                    kAlicePw  Finance, Legal   0x5B (DVXPUBLC)
//   bob                      kBobPw    (none)           0x5B (DVXPUBLC)
//   carol                    kCarolPw  RECMGR           0xFF (RECMGR)
//
// Make one per test suite (SetUpTestSuite): a start costs a process and two
// stores. Only one may be alive at a time in a process (GXSERVERS).
// Failure: construction throws std::runtime_error or GxException.
// Threading: one test thread.
#include <memory>
#include <string>

#include "QELUtilities.h"
#include "gx_test_server.h"
#include "hollin_server_process.h"

class QelTestSystem {
 public:
  static constexpr const char* kLibSer = "QELLIB";  // host 1 of the default seed
  static constexpr const char* kZulDB = "HollinDS";
  static constexpr const char* kZulPwd = "hollin-admin";
  static constexpr int kHostID = 1;
  static constexpr const char* kHostPW = "host-pw";
  static constexpr const char* kAlicePw = GxTestServer::kAlicePw;
  static constexpr const char* kBobPw = GxTestServer::kBobPw;
  static constexpr const char* kCarolPw = "carol-pw";

  QelTestSystem();
  ~QelTestSystem();
  QelTestSystem(const QelTestSystem&) = delete;
  QelTestSystem& operator=(const QelTestSystem&) = delete;

  HollinServerProcess& recordsServer() { return *records_; }
  GxTestServer& contentServer() { return *content_; }
  // The records server's SQLite store (read it only).
  const std::string& recordsDbPath() const { return recordsDb_; }

  // The configuration record as the fixture stored it.
  const TaVNcfgInfo_t& config() const { return config_; }
  // Stores `info` as the configuration record (and so in this process's
  // cache). Throws std::runtime_error when SetTaVNcfgInfo fails.
  void storeConfig(TaVNcfgInfo_t info);
  // Stores config() again.
  void restoreConfig() { storeConfig(config_); }

  // A datastore connected to kLibSer as `user`. Throws GxException.
  std::unique_ptr<GxDatastoreDVX> connect(const std::string& user,
                                          const std::string& password) const;

 private:
  std::string dir_;
  std::string recordsDb_;
  std::unique_ptr<GxTestServer> content_;
  std::unique_ptr<HollinServerProcess> records_;
  TaVNcfgInfo_t config_;
};
