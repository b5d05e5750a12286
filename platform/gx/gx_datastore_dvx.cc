#include <memory>

#include "platform/gx/gx_datastore_dvx.h"

#include <cctype>

#include "platform/gx/gx_defs_dvx.h"
#include "platform/gx/internal/datastore_impl.h"
#include "platform/gx/internal/fault_point.h"
#include "platform/gx/internal/gx_throw.h"
#include "platform/gx/internal/servers_file.h"
#include "platform/gx/internal/sqlite_util.h"

using namespace gx_internal;

void GxDatastoreDVXImpl::close() {
  if (!db) return;
  if (inTxn) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    rolledBack.insert(serial);
    inTxn = false;
  }
  sqlite3_close_v2(db);
  db = nullptr;
  catalog.clear();
}

void GxDatastoreDVXImpl::requireConnected() const {
  if (!db) GX_THROW(GX_EXC_NOT_CONNECTED, "datastore is not connected");
}

void GxDatastoreDVXImpl::open(const std::string& serversFile, const std::string& name) {
  const std::string file = serversFile.empty() ? serversFilePath() : serversFile;
  ServerEntry e = findServer(file, name);
  sqlite3* h = openStore(e.path, false);
  try {
    checkSchema(h, e.path);
  } catch (...) {
    sqlite3_close_v2(h);
    throw;
  }
  db = h;
  server = e.name;
  path = e.path;
  catalog.clear();
}


GxDatastoreDVX::GxDatastoreDVX() : impl_(new GxDatastoreDVXImpl) {}
GxDatastoreDVX::~GxDatastoreDVX() { delete impl_; }

void GxDatastoreDVX::connect(const GxString& server, const GxString& userId, const GxString& password,
                             const GxString& /*options*/) {
  faultPoint(GxFaultOp::kConnect);
  if (impl_->db) GX_THROW(GX_EXC_ALREADY_CONNECTED, "datastore is already connected to " + impl_->server);
  GxDatastoreDVXImpl fresh;
  fresh.open("", server.str());
  std::string user = verifyPassword(fresh.db, userId.str(), password.str());
  if (user.empty())
    GX_THROW(GX_EXC_LOGON_REFUSED, "logon to " + fresh.server + " refused: wrong user id or password");
  impl_->db = fresh.db;
  fresh.db = nullptr;
  impl_->server = fresh.server;
  impl_->path = fresh.path;
  impl_->user = user;
  impl_->inTxn = false;
  impl_->catalog.clear();
}

void GxDatastoreDVX::disconnect() {
  faultPoint(GxFaultOp::kDisconnect);
  impl_->requireConnected();
  impl_->close();
  impl_->user.clear();
}

bool GxDatastoreDVX::isConnected() const { return impl_->db != nullptr; }

GxString GxDatastoreDVX::getDatastoreName() const {
  impl_->requireConnected();
  return GxString(impl_->server);
}

GxString GxDatastoreDVX::getUserId() const {
  impl_->requireConnected();
  return GxString(impl_->user);
}

gxCollection* GxDatastoreDVX::listDataSources() const {
  faultPoint(GxFaultOp::kListDataSources);
  std::vector<ServerEntry> entries = readServersFile(serversFilePath());
  std::unique_ptr<gxCollection> c(new gxCollection);
  for (const ServerEntry& e : entries)
    c->addElement(GxAny(static_cast<gxDataObjectBase*>(new GxServerDefDVX(e.name, e.path))));
  return c.release();
}

gxCollection* GxDatastoreDVX::listEntities() const {
  faultPoint(GxFaultOp::kListEntities);
  impl_->requireConnected();
  std::vector<TypeRef> roots = impl_->catalog.roots(impl_->db);
  std::unique_ptr<gxCollection> c(new gxCollection);
  for (const TypeRef& t : roots)
    c->addElement(GxAny(static_cast<gxDataObjectBase*>(new GxItemTypeDefDVX(t->name, t->classification))));
  return c.release();
}

GxDDO* GxDatastoreDVX::createDDO(const GxString& itemType, long option) {
  faultPoint(GxFaultOp::kCreateDDO);
  impl_->requireConnected();
  if (itemType == "DVXBASE" && option == GX_CREATE_PART_DVX) return newPart(this);
  TypeRef t = impl_->catalog.root(impl_->db, itemType.str());
  if (!t) GX_THROW(GX_EXC_UNKNOWN_ITEM_TYPE, "unknown item type '" + itemType.str() + "'");
  return newItem(this, t);
}

GxDDO* GxDatastoreDVX::createChildDDO(const GxString& itemType, const GxString& component) {
  faultPoint(GxFaultOp::kCreateChildDDO);
  impl_->requireConnected();
  TypeRef t = impl_->catalog.child(impl_->db, itemType.str(), component.str());
  if (!t)
    GX_THROW(GX_EXC_UNKNOWN_ITEM_TYPE,
             "item type '" + itemType.str() + "' has no child component '" + component.str() + "'");
  return newItem(this, t);
}

namespace {

bool allDigits(const std::string& s) {
  if (s.empty() || s.size() > 18) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t p = s.find(sep, start);
    out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) break;
    start = p + 1;
  }
  return out;
}

}  // namespace

GxDDO* GxDatastoreDVX::createDDOFromPid(const GxString& pid) {
  faultPoint(GxFaultOp::kCreateDDOFromPid);
  impl_->requireConnected();
  const std::string text = pid.str();
  std::string idText, typeText;
  if (allDigits(text)) {
    idText = text;
  } else {
    std::vector<std::string> f = split(text, ':');
    if (f.size() != 4 || f[0] != "PID" || f[1].empty() || f[2].empty() || !allDigits(f[3]))
      GX_THROW(GX_EXC_BAD_PID, "malformed persistent identifier '" + text +
                                   "' (expected PID:<server>:<item type>:<item id>)");
    if (!equalsNoCase(f[1], impl_->server))
      GX_THROW(GX_EXC_WRONG_SERVER, "identifier '" + text + "' belongs to server " + f[1] +
                                        ", not " + impl_->server);
    typeText = f[2];
    idText = f[3];
  }
  GxDDO* d = loadItem(this, std::stoll(idText), true);
  if (!typeText.empty() && ddoImpl(d)->type->pidName() != typeText) {
    std::string actual = ddoImpl(d)->type->pidName();
    delete d;
    GX_THROW(GX_EXC_BAD_PID, "identifier '" + text + "' names item type " + typeText + " but item " +
                                 idText + " is of type " + actual);
  }
  return d;
}

namespace {

// The root item whose check-out governs `d`, and a check that `d` is a stored
// item of this datastore.
int64_t lockTarget(GxDatastoreDVX* self, GxDDO* item, const char* what) {
  if (!item) GX_THROW(GX_EXC_BAD_ARGUMENT, std::string(what) + ": null item");
  GxDDOImpl* d = ddoImpl(item);
  if (d->ds != self) GX_THROW(GX_EXC_BAD_ARGUMENT, std::string(what) + ": item belongs to another datastore");
  syncWithTransactions(*d);
  if (d->isPart) GX_THROW(GX_EXC_CONTENT, std::string(what) + ": a content part cannot be checked out");
  if (!d->stored) GX_THROW(GX_EXC_NOT_STORED, std::string(what) + ": item is not stored");
  GxDatastoreDVXImpl* ds = dsImpl(self);
  Stmt s(ds->db, "SELECT COALESCE(parent_id, id) FROM items WHERE id = ?");
  s.bind(1, d->id);
  if (!s.step()) GX_THROW(GX_EXC_NO_SUCH_ITEM, std::string(what) + ": item " + std::to_string(d->id) + " does not exist");
  return s.i64(0);
}

}  // namespace

void GxDatastoreDVX::checkOut(GxDDO* item) {
  faultPoint(GxFaultOp::kCheckOut);
  impl_->requireConnected();
  WriteScope w(impl_->db, impl_->inTxn);
  int64_t root = lockTarget(this, item, "checkOut");
  Stmt s(impl_->db, "SELECT checked_out_by FROM items WHERE id = ?");
  s.bind(1, root);
  s.step();
  if (!s.isNull(0) && !equalsNoCase(s.text(0), impl_->user))
    GX_THROW(GX_EXC_CHECKED_OUT, "item " + std::to_string(root) + " is checked out by " + s.text(0));
  Stmt u(impl_->db, "UPDATE items SET checked_out_by = ? WHERE id = ?");
  u.bind(1, impl_->user).bind(2, root).run();
  w.commit();
  ddoImpl(item)->checkedOutBy = impl_->user;
}

void GxDatastoreDVX::checkIn(GxDDO* item) {
  faultPoint(GxFaultOp::kCheckIn);
  impl_->requireConnected();
  WriteScope w(impl_->db, impl_->inTxn);
  int64_t root = lockTarget(this, item, "checkIn");
  Stmt s(impl_->db, "SELECT checked_out_by FROM items WHERE id = ?");
  s.bind(1, root);
  s.step();
  if (s.isNull(0)) {
    ddoImpl(item)->checkedOutBy.clear();
    return;  // not checked out: nothing to release
  }
  if (!equalsNoCase(s.text(0), impl_->user))
    GX_THROW(GX_EXC_CHECKED_OUT, "item " + std::to_string(root) + " is checked out by " + s.text(0));
  Stmt u(impl_->db, "UPDATE items SET checked_out_by = NULL WHERE id = ?");
  u.bind(1, root).run();
  w.commit();
  ddoImpl(item)->checkedOutBy.clear();
}

void GxDatastoreDVX::startTransaction() {
  faultPoint(GxFaultOp::kStartTransaction);
  impl_->requireConnected();
  if (impl_->inTxn) GX_THROW(GX_EXC_TRANSACTION, "a transaction is already open on this datastore");
  exec(impl_->db, "BEGIN IMMEDIATE");
  impl_->inTxn = true;
  ++impl_->serial;
}

void GxDatastoreDVX::commit() {
  faultPoint(GxFaultOp::kCommit);
  impl_->requireConnected();
  if (!impl_->inTxn) GX_THROW(GX_EXC_TRANSACTION, "commit without an open transaction");
  int rc = sqlite3_exec(impl_->db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    // A failed COMMIT may leave the transaction open; end it for good.
    sqlite3_exec(impl_->db, "ROLLBACK", nullptr, nullptr, nullptr);
    impl_->inTxn = false;
    impl_->rolledBack.insert(impl_->serial);
    storageError(impl_->db, rc, "commit (the transaction was rolled back)");
  }
  impl_->inTxn = false;
}

void GxDatastoreDVX::rollback() {
  faultPoint(GxFaultOp::kRollback);
  impl_->requireConnected();
  if (!impl_->inTxn) GX_THROW(GX_EXC_TRANSACTION, "rollback without an open transaction");
  impl_->inTxn = false;
  impl_->rolledBack.insert(impl_->serial);
  exec(impl_->db, "ROLLBACK");
}

bool GxDatastoreDVX::inTransaction() const { return impl_->inTxn; }
