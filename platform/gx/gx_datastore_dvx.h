#pragma once
// GxDatastoreDVX: a connection to one named content-management server (an
// SQLite file listed in the servers file, see README.md).
//
// Threading: a datastore and every object it creates belong to one thread at
// a time. Several datastores (in one or several processes) may work on the
// same server at once; writes are serialised by the store (WAL, busy timeout).
// Failure: every operation throws GxException (see gx_exception.h for ids)
// and, unless it says otherwise, leaves the server unchanged.
// Ownership: every object returned by pointer belongs to the caller, who
// deletes it. Items and iterators created by a datastore must not be used
// after the datastore is destroyed.
#include "platform/gx/gx_any.h"
#include "platform/gx/gx_collection.h"
#include "platform/gx/gx_export.h"
#include "platform/gx/gx_nvpair.h"
#include "platform/gx/gx_string.h"

class GxDDO;
struct GxDatastoreDVXImpl;

// Query language number accepted by GxDatastoreDVX::query.
enum { GX_QUERY_LANG_DVX = 7 };
// createDDO option that yields a content part (GxLobDVX) for item type "DVXBASE".
enum { GX_CREATE_PART_DVX = 128 };

class GXDVX_EXPORT GxDatastoreDVX {
 public:
  GxDatastoreDVX();  // unconnected; never throws
  // Rolls back an open transaction and disconnects; never throws.
  virtual ~GxDatastoreDVX();
  GxDatastoreDVX(const GxDatastoreDVX&) = delete;
  GxDatastoreDVX& operator=(const GxDatastoreDVX&) = delete;

  // Logs on to `server` (name as listed in the servers file, any letter case)
  // as `userId`, checking `password` against the stored salted hash.
  // `options` is accepted and ignored (callers pass "").
  // Throws: 16 unknown server; 11 unknown user or wrong password (the two are
  // not distinguished); 14 servers file or server file unusable;
  // 3 already connected; 1 store failure. On failure the datastore stays
  // unconnected.
  void connect(const GxString& server, const GxString& userId, const GxString& password,
               const GxString& options);
  // Rolls back an open transaction and closes the connection. Throws 2 when
  // not connected.
  void disconnect();
  bool isConnected() const;

  // The server name as the servers file spells it / the user id logged on
  // with. Throw 2 when not connected.
  GxString getDatastoreName() const;
  GxString getUserId() const;

  // The servers of the servers file, in file order: a new collection of
  // GxServerDefDVX (getName, getPath). Works connected or not. An absent
  // servers file gives an empty collection; a malformed one throws 14.
  gxCollection* listDataSources() const;

  // The item types of the server (child components excluded), by name: a new
  // collection of GxItemTypeDefDVX. Throws 2 when not connected.
  gxCollection* listEntities() const;

  // Runs `queryText` in query language 7 (the only one; others throw 10).
  // Supported texts (values in double quotes, no quote inside):
  //   /Type[@attr="value"]        /Type[@attr LIKE "pattern"]
  //   /*[@attr="value"]           /*[@attr LIKE "pattern"]
  //   /Type[@attr="value"]/Child  /Type[@attr LIKE "pattern"]/Child
  // LIKE follows SQL: % any run, _ one character, ASCII letters match either
  // case. /* searches every item type (children too) that has the attribute.
  // Results are items (GxDDO with attributes loaded), ordered by item id;
  // children in their order under each parent.
  // `options`: array of pairs ended by one named "End" (null = defaults):
  //   "MAX_RESULTS" text or integer, 0 = all (default); "RETRIEVE_OPTION"
  //   any integer (attributes are always loaded).
  // Returns a GxAny holding a new gxCollection of GxDDO owned by the caller.
  // Throws 10 for any other text, language or option name, 5 for an unknown
  // item type or child component, 6 for an attribute that the named item
  // type does not have, 2 when not connected.
  GxAny query(const GxString& queryText, short queryLanguage, GxNVPair* options);

  // A new, not yet stored item of `itemType` (a root item type) with all
  // attributes null, empty child components and no parts. With item type
  // "DVXBASE" and option 128 (GX_CREATE_PART_DVX) the result is a content
  // part, a GxLobDVX. Other options are accepted and ignored.
  // Throws 5 for an unknown item type, 2 when not connected.
  GxDDO* createDDO(const GxString& itemType, long option);

  // A new, not yet stored child item of component `component` of root item
  // type `itemType`; append it to the parent's component collection. Throws 5.
  GxDDO* createChildDDO(const GxString& itemType, const GxString& component);

  // The stored item named by a persistent identifier text (GxDDO::getPidString)
  // or by a bare item id text (GxDDO::getItemId), with its attributes, child
  // items and parts loaded. Throws 8 for a malformed text, 21 for an
  // identifier of another server, 9 when no such item exists.
  GxDDO* createDDOFromPid(const GxString& pid);

  // Check-out: marks the stored item as checked out by this user. Checking
  // out again by the same user is allowed. Throws 12 when another user holds
  // it, 9/22 when the item is not stored, 4 for null or another datastore's item.
  void checkOut(GxDDO* item);
  // Check-in: releases this user's check-out. An item that is not checked
  // out is left as it is (no error). Throws 12 when another user holds it.
  void checkIn(GxDDO* item);

  // Transactions: between startTransaction and commit/rollback every write of
  // this datastore is one unit; rollback leaves no trace of it on the server,
  // and items written inside it return to their state before it.
  // Throws 13 for a nested start or a commit/rollback without a transaction;
  // a failing commit rolls back and throws 1.
  void startTransaction();
  void commit();
  void rollback();
  bool inTransaction() const;

 private:
  friend class GxDDO;
  friend class GxDatastoreAdminDVX;
  friend class GxUserMgmtDVX;
  friend class GxMimeTypeMgmtDVX;
  friend struct GxDatastoreDVXImpl;
  GxDatastoreDVXImpl* impl_;
};
