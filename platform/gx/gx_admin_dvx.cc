#include <memory>

#include "platform/gx/gx_admin_dvx.h"

#include "platform/gx/gx_datastore_dvx.h"
#include "platform/gx/gx_defs_dvx.h"
#include "platform/gx/internal/datastore_impl.h"
#include "platform/gx/internal/fault_point.h"
#include "platform/gx/internal/gx_throw.h"
#include "platform/gx/internal/sqlite_util.h"

using namespace gx_internal;

namespace {

GxDatastoreDVXImpl& connected(GxDatastoreDVX* ds) {
  if (!ds) GX_THROW(GX_EXC_BAD_ARGUMENT, "administration object without a datastore");
  GxDatastoreDVXImpl* i = dsImpl(ds);
  i->requireConnected();
  return *i;
}

}  // namespace

GxDatastoreAdminDVX::GxDatastoreAdminDVX(GxDatastoreDVX* datastore) : ds_(datastore) {}
GxDatastoreAdminDVX::~GxDatastoreAdminDVX() {}
GxUserMgmtDVX* GxDatastoreAdminDVX::userMgmt() const {
  connected(ds_);
  return new GxUserMgmtDVX(ds_);
}
GxMimeTypeMgmtDVX* GxDatastoreAdminDVX::mimeTypeMgmt() const {
  connected(ds_);
  return new GxMimeTypeMgmtDVX(ds_);
}

GxUserMgmtDVX::GxUserMgmtDVX(GxDatastoreDVX* datastore) : ds_(datastore) {}
GxUserMgmtDVX::~GxUserMgmtDVX() {}

gxCollection* GxUserMgmtDVX::listGroupsForUser(const GxString& userId) const {
  faultPoint(GxFaultOp::kListGroupsForUser);
  GxDatastoreDVXImpl& ds = connected(ds_);
  Stmt u(ds.db, "SELECT 1 FROM users WHERE name = ?");
  u.bind(1, userId.str());
  if (!u.step()) GX_THROW(GX_EXC_UNKNOWN_USER, "unknown user '" + userId.str() + "'");
  Stmt s(ds.db, "SELECT g.name FROM members m JOIN user_groups g ON g.name = m.grp WHERE m.usr = ? ORDER BY g.name");
  s.bind(1, userId.str());
  std::unique_ptr<gxCollection> c(new gxCollection);
  while (s.step()) c->addElement(GxAny(static_cast<gxDataObjectBase*>(new GxGroupDefDVX(GxString(s.text(0))))));
  return c.release();
}

gxCollection* GxUserMgmtDVX::listUsers() const {
  GxDatastoreDVXImpl& ds = connected(ds_);
  Stmt s(ds.db, "SELECT name FROM users ORDER BY name");
  std::unique_ptr<gxCollection> c(new gxCollection);
  while (s.step()) c->addElement(GxAny(static_cast<gxDataObjectBase*>(new gxEntityDef(GxString(s.text(0))))));
  return c.release();
}

GxMimeTypeMgmtDVX::GxMimeTypeMgmtDVX(GxDatastoreDVX* datastore) : ds_(datastore) {}
GxMimeTypeMgmtDVX::~GxMimeTypeMgmtDVX() {}

gxCollection* GxMimeTypeMgmtDVX::listMimeTypes() const {
  faultPoint(GxFaultOp::kListMimeTypes);
  GxDatastoreDVXImpl& ds = connected(ds_);
  Stmt s(ds.db, "SELECT mime, suffixes FROM mime_types ORDER BY seq");
  std::unique_ptr<gxCollection> c(new gxCollection);
  while (s.step())
    c->addElement(GxAny(static_cast<gxDataObjectBase*>(
        new GxMimeTypeDefDVX(GxString(s.text(0)), GxString(s.text(1))))));
  return c.release();
}
