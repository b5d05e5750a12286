#pragma once
// GxTestServer: a real, temporary content-management server for tests.
//
// Construction makes a fresh temporary folder with its own servers file,
// points GXSERVERS at it (the previous value comes back on destruction),
// creates the server, defines what the integration needs (gxadmin init-qel:
// "QELconfig", "qeladmin", "QELDocument", "QELMail", MIME types) and adds the
// users below. Destruction removes the folder.
//
//   user      password    groups
//   qeladmin  kQelAdminPw (none)
//   alice     kAlicePw    Finance, Legal
//   bob       kBobPw      (none)
//
// Threading: one test thread. Not copyable. Only one GxTestServer should be
// alive at a time, as GXSERVERS is process-wide.
// Failure: construction throws GxException or std::runtime_error.
#include <memory>
#include <string>

#include "platform/gx/gxdvx.h"
#include "platform/gx/gx_store_admin_dvx.h"

class GxTestServer {
 public:
  static constexpr const char* kQelAdminPw = "qeladmin-secret";
  static constexpr const char* kAlicePw = "alice-pw";
  static constexpr const char* kBobPw = "bob-pw";

  explicit GxTestServer(const std::string& name = "QELTEST");
  ~GxTestServer();
  GxTestServer(const GxTestServer&) = delete;
  GxTestServer& operator=(const GxTestServer&) = delete;

  const std::string& name() const { return name_; }
  const std::string& dir() const { return dir_; }
  const std::string& serversFile() const { return serversFile_; }

  // Administration of the server (define item types, users, groups).
  GxStoreAdminDVX& admin() { return *admin_; }

  // Creates one more server `name` in the same servers file, initialised
  // like the first one; returns its administration object (owned by this).
  GxStoreAdminDVX& addServer(const std::string& name);

  // A new datastore connected to server `server` (default: this one) as
  // `user`. Throws GxException when the logon fails.
  std::unique_ptr<GxDatastoreDVX> connect(const std::string& user, const std::string& password,
                                          const std::string& server = "") const;
  std::unique_ptr<GxDatastoreDVX> connectAdmin() const {
    return connect("qeladmin", kQelAdminPw);
  }

  // Writes `content` to a new file `fileName` in the temporary folder and
  // returns its full path.
  std::string writeFile(const std::string& fileName, const std::string& content) const;

 private:
  std::string name_;
  std::string dir_;
  std::string serversFile_;
  bool hadServersEnv_ = false;
  std::string oldServersEnv_;
  std::unique_ptr<GxStoreAdminDVX> admin_;
  std::unique_ptr<GxStoreAdminDVX> extra_[4];
};
