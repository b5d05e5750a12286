#pragma once
// Internal state of datastores and items, shared by the gxdvx sources.
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/gx/gx_collection.h"
#include "platform/gx/gx_datastore_dvx.h"
#include "platform/gx/gx_ddo.h"
#include "platform/gx/internal/store.h"

struct GxDatastoreDVXImpl {
  sqlite3* db = nullptr;
  std::string server;  // as the servers file spells it
  std::string path;
  std::string user;    // as stored; empty for the admin tool
  bool inTxn = false;
  long serial = 0;             // number of the open (or last) transaction
  std::set<long> rolledBack;   // transactions that were rolled back
  gx_internal::Catalog catalog;

  ~GxDatastoreDVXImpl() { close(); }
  void close();
  void requireConnected() const;
  // Opens server `name` of `serversFile` ("" = default file).
  void open(const std::string& serversFile, const std::string& name);
  static GxDatastoreDVXImpl* of(GxDatastoreDVX* ds) { return ds->impl_; }
};

struct GxDDOImpl {
  GxDatastoreDVX* ds = nullptr;
  gx_internal::TypeRef type;  // null for a content part
  bool isPart = false;

  // Stored state.
  int64_t id = 0;
  int64_t version = 0;
  bool stored = false;
  std::string checkedOutBy;

  std::vector<std::optional<std::string>> values;  // one per attribute, text form
  std::vector<gxCollection*> comps;                // owned, one per component (roots)
  gxCollection* parts = nullptr;                   // owned (roots)
  // Whether comps and parts hold what is stored (or everything, for a new
  // item). Query results load them on first use.
  bool contentLoaded = true;

  // Content part.
  std::string mime;
  long partNumber = 0;
  std::string content;

  // State before the first write inside transaction `snapSerial`, restored
  // when that transaction is rolled back.
  long snapSerial = -1;
  int64_t snapId = 0, snapVersion = 0;
  bool snapStored = false;

  GxDDOImpl() = default;
  GxDDOImpl(const GxDDOImpl& o);  // deep: clones children and parts
  GxDDOImpl& operator=(const GxDDOImpl&) = delete;
  ~GxDDOImpl();
  void freeContent();
  void makeEmptyContent();
  static GxDDOImpl* of(GxDDO* d) { return d->impl_; }
  static const GxDDOImpl* of(const GxDDO* d) { return d->impl_; }
};

namespace gx_internal {

inline GxDatastoreDVXImpl* dsImpl(GxDatastoreDVX* ds) { return GxDatastoreDVXImpl::of(ds); }
inline GxDDOImpl* ddoImpl(GxDDO* d) { return GxDDOImpl::of(d); }
inline const GxDDOImpl* ddoImpl(const GxDDO* d) { return GxDDOImpl::of(d); }

// A bound, empty item of `type` (new, not stored).
GxDDO* newItem(GxDatastoreDVX* ds, const TypeRef& type);
GxLobDVX* newPart(GxDatastoreDVX* ds);
// Reads the stored attributes of item `id` into `d`.
void loadAttributes(GxDatastoreDVXImpl& ds, GxDDOImpl& d);
// Reads child items and parts of stored root `d`.
void loadContent(GxDatastoreDVXImpl& ds, GxDDOImpl& d);
// A stored item object for item `id` (attributes loaded; content too when
// `withContent`). Throws 9 when it does not exist.
GxDDO* loadItem(GxDatastoreDVX* ds, int64_t id, bool withContent);
// Restores `d` when the transaction of its last write was rolled back.
void syncWithTransactions(GxDDOImpl& d);
// Records the state of `d` before a write inside the open transaction.
void noteWrite(GxDDOImpl& d);

}  // namespace gx_internal
