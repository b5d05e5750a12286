#pragma once
// Administration objects of a connected datastore: user management and MIME
// type management. They read through the datastore they come from, which
// must outlive them and stay connected while they are used.
// Failure: GxException (2 not connected, 1 store failure, others as noted).
// Ownership: objects and collections returned by pointer belong to the caller.
#include "platform/gx/gx_collection.h"
#include "platform/gx/gx_export.h"
#include "platform/gx/gx_string.h"

class GxDatastoreDVX;
class GxUserMgmtDVX;
class GxMimeTypeMgmtDVX;

class GXDVX_EXPORT GxDatastoreAdminDVX {
 public:
  // REQUIRES: datastore not null (otherwise the accessors throw 4).
  explicit GxDatastoreAdminDVX(GxDatastoreDVX* datastore);
  virtual ~GxDatastoreAdminDVX();
  // New management objects on the same datastore, owned by the caller.
  GxUserMgmtDVX* userMgmt() const;
  GxMimeTypeMgmtDVX* mimeTypeMgmt() const;

 private:
  GxDatastoreDVX* ds_;
};

class GXDVX_EXPORT GxUserMgmtDVX {
 public:
  explicit GxUserMgmtDVX(GxDatastoreDVX* datastore);
  virtual ~GxUserMgmtDVX();
  // The groups `userId` is a member of, by name: a new collection of
  // GxGroupDefDVX (empty when the user is in no group). The user id matches
  // in any letter case. Throws 17 for an unknown user.
  gxCollection* listGroupsForUser(const GxString& userId) const;
  // All user ids, by name: a new collection of gxEntityDef.
  gxCollection* listUsers() const;

 private:
  GxDatastoreDVX* ds_;
};

class GXDVX_EXPORT GxMimeTypeMgmtDVX {
 public:
  explicit GxMimeTypeMgmtDVX(GxDatastoreDVX* datastore);
  virtual ~GxMimeTypeMgmtDVX();
  // The server's MIME type definitions in definition order: a new collection
  // of GxMimeTypeDefDVX.
  gxCollection* listMimeTypes() const;

 private:
  GxDatastoreDVX* ds_;
};
