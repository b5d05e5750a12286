#include "platform/gx/gx_ddo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>

#include "platform/gx/gx_defs_dvx.h"
#include "platform/gx/internal/datastore_impl.h"
#include "platform/gx/internal/fault_point.h"
#include "platform/gx/internal/gx_throw.h"
#include "platform/gx/internal/servers_file.h"
#include "platform/gx/internal/sqlite_util.h"

using namespace gx_internal;

// ---- item state -----------------------------------------------------------

// Copies everything but the owned collections; GxDDO's copy clones those.
GxDDOImpl::GxDDOImpl(const GxDDOImpl& o)
    : ds(o.ds),
      type(o.type),
      isPart(o.isPart),
      id(o.id),
      version(o.version),
      stored(o.stored),
      checkedOutBy(o.checkedOutBy),
      values(o.values),
      contentLoaded(o.contentLoaded),
      mime(o.mime),
      partNumber(o.partNumber),
      content(o.content),
      snapSerial(o.snapSerial),
      snapId(o.snapId),
      snapVersion(o.snapVersion),
      snapStored(o.snapStored) {}

GxDDOImpl::~GxDDOImpl() { freeContent(); }

void GxDDOImpl::freeContent() {
  for (gxCollection* c : comps) delete c;
  comps.clear();
  delete parts;
  parts = nullptr;
}

void GxDDOImpl::makeEmptyContent() {
  freeContent();
  if (!type || !type->isRoot()) return;
  comps.resize(type->components.size());
  for (auto& c : comps) c = new gxCollection;
  parts = new gxCollection;
}

namespace gx_internal {


GxDDO* newItem(GxDatastoreDVX* ds, const TypeRef& type) {
  GxDDO* d = new GxDDO;
  GxDDOImpl* i = ddoImpl(d);
  i->ds = ds;
  i->type = type;
  i->values.assign(type->attrs.size(), std::nullopt);
  i->makeEmptyContent();
  return d;
}

GxLobDVX* newPart(GxDatastoreDVX* ds) {
  GxLobDVX* p = new GxLobDVX;
  ddoImpl(p)->ds = ds;
  return p;
}

void loadAttributes(GxDatastoreDVXImpl& ds, GxDDOImpl& d) {
  d.values.assign(d.type->attrs.size(), std::nullopt);
  Stmt s(ds.db, "SELECT attr, val FROM item_values WHERE item_id = ?");
  s.bind(1, d.id);
  while (s.step()) {
    int i = d.type->attrIndex(s.text(0));
    if (i >= 0) d.values[static_cast<size_t>(i)] = s.text(1);
  }
}

namespace {

void fillFromRow(GxDatastoreDVXImpl& ds, GxDDOImpl& d, int64_t id, int64_t typeId, int64_t version,
                 const std::string& checkedOutBy) {
  d.type = ds.catalog.byId(ds.db, typeId);
  d.id = id;
  d.version = version;
  d.stored = true;
  d.checkedOutBy = checkedOutBy;
}

}  // namespace

void loadContent(GxDatastoreDVXImpl& ds, GxDDOImpl& d) {
  d.makeEmptyContent();
  d.contentLoaded = true;
  if (!d.type->isRoot()) return;
  Stmt c(ds.db, "SELECT id, type_id, version FROM items WHERE parent_id = ? ORDER BY seq, id");
  c.bind(1, d.id);
  while (c.step()) {
    int64_t typeId = c.i64(1);
    size_t slot = 0;
    bool found = false;
    for (; slot < d.type->components.size(); ++slot)
      if (d.type->components[slot].second == typeId) {
        found = true;
        break;
      }
    if (!found) continue;
    GxDDO* child = new GxDDO;
    GxDDOImpl* ci = ddoImpl(child);
    ci->ds = d.ds;
    fillFromRow(ds, *ci, c.i64(0), typeId, c.i64(2), "");
    loadAttributes(ds, *ci);
    d.comps[slot]->addElement(GxAny(static_cast<gxDataObjectBase*>(child)));
  }
  Stmt p(ds.db, "SELECT part_number, mime, content FROM parts WHERE item_id = ? ORDER BY seq");
  p.bind(1, d.id);
  while (p.step()) {
    GxLobDVX* part = newPart(d.ds);
    GxDDOImpl* pi = ddoImpl(part);
    pi->partNumber = static_cast<long>(p.i64(0));
    pi->mime = p.text(1);
    pi->content = p.blob(2);
    d.parts->addElement(GxAny(static_cast<gxDataObjectBase*>(part)));
  }
}

GxDDO* loadItem(GxDatastoreDVX* dsPub, int64_t id, bool withContent) {
  GxDatastoreDVXImpl& ds = *dsImpl(dsPub);
  Stmt s(ds.db, "SELECT type_id, version, checked_out_by FROM items WHERE id = ?");
  s.bind(1, id);
  if (!s.step()) GX_THROW(GX_EXC_NO_SUCH_ITEM, "item " + std::to_string(id) + " does not exist");
  GxDDO* d = new GxDDO;
  try {
    GxDDOImpl* i = ddoImpl(d);
    i->ds = dsPub;
    fillFromRow(ds, *i, id, s.i64(0), s.i64(1), s.isNull(2) ? "" : s.text(2));
    loadAttributes(ds, *i);
    if (withContent) {
      loadContent(ds, *i);
    } else {
      i->contentLoaded = false;
    }
  } catch (...) {
    delete d;
    throw;
  }
  return d;
}

void syncWithTransactions(GxDDOImpl& d) {
  if (d.snapSerial < 0 || !d.ds) return;
  GxDatastoreDVXImpl* ds = dsImpl(d.ds);
  if (ds->rolledBack.count(d.snapSerial)) {
    d.id = d.snapId;
    d.version = d.snapVersion;
    d.stored = d.snapStored;
    d.snapSerial = -1;
  } else if (!(ds->inTxn && ds->serial == d.snapSerial)) {
    d.snapSerial = -1;  // committed
  }
}

void noteWrite(GxDDOImpl& d) {
  GxDatastoreDVXImpl* ds = dsImpl(d.ds);
  if (!ds->inTxn || d.snapSerial == ds->serial) return;
  d.snapSerial = ds->serial;
  d.snapId = d.id;
  d.snapVersion = d.version;
  d.snapStored = d.stored;
}

}  // namespace gx_internal

// ---- GxDDO ------------------------------------------------------------------

namespace {

void requireBound(const GxDDOImpl* i) {
  if (!i->ds || (!i->type && !i->isPart)) GX_THROW(GX_EXC_BAD_ARGUMENT, "item object is not bound to a datastore");
}

// Data item layout of an item: attributes, components (roots), "GxParts" (roots).
struct Layout {
  size_t attrs = 0, comps = 0, parts = 0;
  size_t count() const { return attrs + comps + parts; }
};

Layout layoutOf(const GxDDOImpl* i) {
  Layout l;
  if (!i->type) return l;
  l.attrs = i->type->attrs.size();
  if (i->type->isRoot()) {
    l.comps = i->type->components.size();
    l.parts = 1;
  }
  return l;
}

void checkDataId(const GxDDOImpl* i, unsigned short id) {
  requireBound(i);
  if (id < 1 || id > layoutOf(i).count())
    GX_THROW(GX_EXC_BAD_ARGUMENT, "data id " + std::to_string(id) + " out of range 1.." +
                                      std::to_string(layoutOf(i).count()));
}

// Loads children and parts of a query result on first use.
void ensureContent(GxDDOImpl* i) {
  if (i->contentLoaded) return;
  GxDatastoreDVXImpl* ds = dsImpl(i->ds);
  ds->requireConnected();
  loadContent(*ds, *i);
}

bool isDecimal(const std::string& s) {
  size_t k = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  if (k == s.size() || s.size() - k > 18) return false;
  for (; k < s.size(); ++k)
    if (s[k] < '0' || s[k] > '9') return false;
  return true;
}

// The stored text of `v` for attribute `a`, after checks.
std::optional<std::string> attrValue(const AttrDef& a, const GxAny& v) {
  switch (v.kind()) {
    case GxAny::kNull:
      if (!a.nullable) GX_THROW(GX_EXC_NULL_NOT_ALLOWED, "attribute '" + a.name + "' may not be null");
      return std::nullopt;
    case GxAny::kLong:
      return std::to_string(v.asLong());
    case GxAny::kString: {
      std::string s = v.asString().str();
      if (a.integer) {
        if (!isDecimal(s)) GX_THROW(GX_EXC_BAD_VALUE, "attribute '" + a.name + "' takes an integer, not '" + s + "'");
        return std::to_string(std::stoll(s));
      }
      if (a.maxLength > 0 && static_cast<long>(s.size()) > a.maxLength)
        GX_THROW(GX_EXC_BAD_VALUE, "value of " + std::to_string(s.size()) + " bytes is longer than attribute '" +
                                       a.name + "' allows (" + std::to_string(a.maxLength) + ")");
      return s;
    }
    default:
      GX_THROW(GX_EXC_BAD_VALUE, "attribute '" + a.name + "' takes a text or an integer");
  }
}

}  // namespace

GxDDO::GxDDO() : impl_(new GxDDOImpl) {}

GxDDO::GxDDO(const GxDDO& other) : gxDataObjectBase(other), impl_(new GxDDOImpl(*other.impl_)) {
  auto cloneColl = [](const gxCollection* src) {
    gxCollection* c = new gxCollection;
    for (long k = 0; src && k < src->count(); ++k) {
      GxAny a = src->elementAt(k);
      GxDDO* d = a.kind() == GxAny::kObject ? dynamic_cast<GxDDO*>(a.asObject()) : nullptr;
      if (d)
        c->addElement(GxAny(static_cast<gxDataObjectBase*>(d->clone())));
      else if (a.kind() != GxAny::kObject)
        c->addElement(a);
    }
    return c;
  };
  for (gxCollection* c : other.impl_->comps) impl_->comps.push_back(cloneColl(c));
  if (other.impl_->parts) impl_->parts = cloneColl(other.impl_->parts);
}

GxDDO& GxDDO::operator=(const GxDDO& other) {
  if (this == &other) return *this;
  GxDDO copy(other);
  std::swap(impl_, copy.impl_);
  return *this;
}

GxDDO::~GxDDO() { delete impl_; }

GxDDO* GxDDO::clone() const { return new GxDDO(*this); }

GxString GxDDO::getObjectType() const {
  requireBound(impl_);
  return GxString(impl_->isPart ? std::string("DVXBASE") : impl_->type->name);
}

unsigned short GxDDO::dataCount() const {
  requireBound(impl_);
  return static_cast<unsigned short>(layoutOf(impl_).count());
}

GxString GxDDO::getDataName(unsigned short data) const {
  checkDataId(impl_, data);
  Layout l = layoutOf(impl_);
  size_t k = data - 1u;
  if (k < l.attrs) return GxString(impl_->type->attrs[k].name);
  k -= l.attrs;
  if (k < l.comps) return GxString(impl_->type->components[k].first);
  return GxString("GxParts");
}

unsigned short GxDDO::dataId(const GxString& name) const {
  requireBound(impl_);
  Layout l = layoutOf(impl_);
  for (unsigned short d = 1; d <= l.count(); ++d)
    if (getDataName(d) == name) return d;
  return 0;
}

unsigned short GxDDO::dataId(const GxString& nameSpace, const GxString& name) const {
  if (nameSpace.isEmpty()) return dataId(name);
  if (nameSpace != "ATTR") return 0;
  requireBound(impl_);
  if (!impl_->type) return 0;
  int i = impl_->type->attrIndex(name.str());
  return i < 0 ? 0 : static_cast<unsigned short>(i + 1);
}

GxAny GxDDO::getData(unsigned short id) const {
  checkDataId(impl_, id);
  Layout l = layoutOf(impl_);
  size_t k = id - 1u;
  if (k < l.attrs) {
    const auto& v = impl_->values[k];
    if (!v) return GxAny();
    if (impl_->type->attrs[k].integer) return GxAny(std::stol(*v));
    return GxAny(GxString(*v));
  }
  ensureContent(impl_);
  k -= l.attrs;
  if (k < l.comps) return GxAny(impl_->comps[k]);
  return GxAny(impl_->parts);
}

bool GxDDO::isNull(unsigned short id) const {
  checkDataId(impl_, id);
  size_t k = id - 1u;
  return k < layoutOf(impl_).attrs ? !impl_->values[k].has_value() : false;
}

void GxDDO::setData(unsigned short id, const GxAny& value) {
  faultPoint(GxFaultOp::kSetData);
  checkDataId(impl_, id);
  Layout l = layoutOf(impl_);
  size_t k = id - 1u;
  if (k < l.attrs) {
    impl_->values[k] = attrValue(impl_->type->attrs[k], value);
    return;
  }
  if (value.kind() != GxAny::kCollection)
    GX_THROW(GX_EXC_BAD_VALUE, "data item '" + getDataName(id).str() + "' takes a collection");
  ensureContent(impl_);
  gxCollection* mine = (k - l.attrs < l.comps) ? impl_->comps[k - l.attrs] : impl_->parts;
  gxCollection* theirs = value.asCollection();
  if (theirs == mine) return;
  mine->removeAll();
  for (long i = 0; i < theirs->count(); ++i) {
    gxDataObjectBase* o = theirs->detach(i);
    if (o) mine->addElement(GxAny(o));
  }
  theirs->removeAll();
}

void GxDDO::setNull(unsigned short id) { setData(id, GxAny()); }

namespace {
const char* const kPropNames[] = {"ItemType", "ItemId", "PID", "Version", "CheckedOutBy", "Classification"};
const char* const kAttrPropNames[] = {"type", "valueType", "length", "nullable"};
}  // namespace

unsigned short GxDDO::propertyCount() const {
  requireBound(impl_);
  return 6;
}

GxString GxDDO::getPropertyName(unsigned short property) const {
  requireBound(impl_);
  if (property < 1 || property > 6) GX_THROW(GX_EXC_BAD_ARGUMENT, "property " + std::to_string(property) + " out of range 1..6");
  return GxString(kPropNames[property - 1]);
}

GxAny GxDDO::getProperty(unsigned short property) const {
  GxString name = getPropertyName(property);
  syncWithTransactions(*impl_);
  switch (property) {
    case 1: return GxAny(getObjectType());
    case 2: return impl_->stored ? GxAny(GxString(std::to_string(impl_->id))) : GxAny();
    case 3: return impl_->stored && !impl_->isPart ? GxAny(getPidString()) : GxAny();
    case 4: return GxAny(static_cast<long>(impl_->version));
    case 5: return impl_->checkedOutBy.empty() ? GxAny() : GxAny(GxString(impl_->checkedOutBy));
    default: return GxAny(static_cast<long>(impl_->type ? impl_->type->classification : 0));
  }
}

unsigned short GxDDO::dataPropertyCount(unsigned short data) const {
  checkDataId(impl_, data);
  return (data - 1u) < layoutOf(impl_).attrs ? 4 : 1;
}

GxString GxDDO::getDataPropertyName(unsigned short data, unsigned short property) const {
  unsigned short n = dataPropertyCount(data);
  if (property < 1 || property > n)
    GX_THROW(GX_EXC_BAD_ARGUMENT, "data property " + std::to_string(property) + " out of range 1.." + std::to_string(n));
  return GxString(kAttrPropNames[property - 1]);
}

GxAny GxDDO::getDataProperty(unsigned short data, unsigned short property) const {
  getDataPropertyName(data, property);
  Layout l = layoutOf(impl_);
  size_t k = data - 1u;
  if (k >= l.attrs) return GxAny(static_cast<long>(k - l.attrs < l.comps ? GX_DATA_COMPONENT : GX_DATA_PARTS));
  const AttrDef& a = impl_->type->attrs[k];
  switch (property) {
    case 1: return GxAny(static_cast<long>(GX_DATA_ATTRIBUTE));
    case 2: return GxAny(a.integer ? "INTEGER" : "STRING");
    case 3: return GxAny(a.integer ? 0L : a.maxLength);
    default: return GxAny(a.nullable ? 1L : 0L);
  }
}

GxString GxDDO::getPidString() const {
  faultPoint(GxFaultOp::kGetPidString);
  requireBound(impl_);
  syncWithTransactions(*impl_);
  if (impl_->isPart) GX_THROW(GX_EXC_CONTENT, "a content part has no persistent identifier");
  if (!impl_->stored) GX_THROW(GX_EXC_NOT_STORED, "item is not stored yet");
  return GxString("PID:" + dsImpl(impl_->ds)->server + ":" + impl_->type->pidName() + ":" +
                  std::to_string(impl_->id));
}

GxString GxDDO::getItemId() const {
  faultPoint(GxFaultOp::kGetItemId);
  requireBound(impl_);
  syncWithTransactions(*impl_);
  if (impl_->isPart) GX_THROW(GX_EXC_CONTENT, "a content part has no item id");
  if (!impl_->stored) GX_THROW(GX_EXC_NOT_STORED, "item is not stored yet");
  return GxString(std::to_string(impl_->id));
}

bool GxDDO::isStored() const {
  syncWithTransactions(*impl_);
  return impl_->stored;
}

GxDatastoreDVX* GxDDO::getDatastore() const { return impl_->ds; }

// ---- server operations ----------------------------------------------------------

namespace {

// Changes to apply to item objects once the write has been committed.
struct Pending {
  struct Entry {
    GxDDOImpl* d;
    int64_t id;
    int64_t version;
    bool stored;
  };
  std::vector<Entry> entries;
  void apply() {
    for (Entry& e : entries) {
      noteWrite(*e.d);
      e.d->id = e.id;
      e.d->version = e.version;
      e.d->stored = e.stored;
      if (!e.stored) e.d->checkedOutBy.clear();
    }
  }
};

GxDatastoreDVXImpl& connectedDs(GxDDOImpl* i) {
  requireBound(i);
  GxDatastoreDVXImpl* ds = dsImpl(i->ds);
  ds->requireConnected();
  return *ds;
}

void checkNonNull(const GxDDOImpl* d) {
  for (size_t k = 0; k < d->values.size(); ++k)
    if (!d->values[k] && !d->type->attrs[k].nullable)
      GX_THROW(GX_EXC_NULL_NOT_ALLOWED, "attribute '" + d->type->attrs[k].name + "' of item type " +
                                            d->type->pidName() + " may not be null");
}

// Children of component `slot` of `d`, checked to be items of that component.
std::vector<GxDDO*> childrenOf(GxDDOImpl* d, size_t slot) {
  std::vector<GxDDO*> out;
  gxCollection* c = d->comps[slot];
  for (long k = 0; k < c->count(); ++k) {
    GxAny a = c->elementAt(k);
    if (a.isNull()) continue;
    GxDDO* child = a.kind() == GxAny::kObject ? dynamic_cast<GxDDO*>(a.asObject()) : nullptr;
    GxDDOImpl* ci = child ? ddoImpl(child) : nullptr;
    if (!ci || ci->isPart || !ci->type || ci->type->id != d->type->components[slot].second || ci->ds != d->ds)
      GX_THROW(GX_EXC_BAD_VALUE, "component '" + d->type->components[slot].first +
                                     "' holds something that is not a child item of this datastore's " +
                                     d->type->pidName() + "/" + d->type->components[slot].first);
    syncWithTransactions(*ci);
    checkNonNull(ci);
    out.push_back(child);
  }
  return out;
}

std::vector<GxLobDVX*> partsOf(GxDDOImpl* d) {
  std::vector<GxLobDVX*> out;
  for (long k = 0; k < d->parts->count(); ++k) {
    GxAny a = d->parts->elementAt(k);
    if (a.isNull()) continue;
    GxLobDVX* p = a.kind() == GxAny::kObject ? dynamic_cast<GxLobDVX*>(a.asObject()) : nullptr;
    if (!p) GX_THROW(GX_EXC_BAD_VALUE, "\"GxParts\" holds something that is not a content part (GxLobDVX)");
    out.push_back(p);
  }
  return out;
}

void writeValues(GxDatastoreDVXImpl& ds, const GxDDOImpl* d, int64_t id) {
  Stmt del(ds.db, "DELETE FROM item_values WHERE item_id = ?");
  del.bind(1, id).run();
  Stmt ins(ds.db, "INSERT INTO item_values(item_id, attr, val) VALUES(?, ?, ?)");
  for (size_t k = 0; k < d->values.size(); ++k) {
    if (!d->values[k]) continue;
    ins.reset();
    ins.bind(1, id).bind(2, d->type->attrs[k].name).bind(3, *d->values[k]).run();
  }
}

int64_t insertRow(GxDatastoreDVXImpl& ds, const GxDDOImpl* d, int64_t parentId, int64_t seq) {
  Stmt s(ds.db, "INSERT INTO items(type_id, parent_id, seq, version) VALUES(?, ?, ?, 1)");
  s.bind(1, d->type->id);
  if (parentId) s.bind(2, parentId); else s.bindNull(2);
  s.bind(3, seq).run();
  int64_t id = sqlite3_last_insert_rowid(ds.db);
  writeValues(ds, d, id);
  return id;
}

void writeParts(GxDatastoreDVXImpl& ds, const std::vector<GxLobDVX*>& parts, int64_t id) {
  Stmt del(ds.db, "DELETE FROM parts WHERE item_id = ?");
  del.bind(1, id).run();
  Stmt ins(ds.db, "INSERT INTO parts(item_id, seq, part_number, mime, content) VALUES(?, ?, ?, ?, ?)");
  int64_t seq = 0;
  for (GxLobDVX* p : parts) {
    const GxDDOImpl* pi = ddoImpl(p);
    ins.reset();
    ins.bind(1, id).bind(2, ++seq).bind(3, static_cast<int64_t>(pi->partNumber)).bind(4, pi->mime);
    ins.bindBlob(5, pi->content).run();
  }
}

// Checks that `id` exists, that no other user holds it (or its root) and,
// when `version` > 0, that it is still at that version.
void checkWritable(GxDatastoreDVXImpl& ds, int64_t id, int64_t version) {
  Stmt s(ds.db,
         "SELECT i.version, COALESCE(r.checked_out_by, i.checked_out_by) FROM items i "
         "LEFT JOIN items r ON r.id = i.parent_id WHERE i.id = ?");
  s.bind(1, id);
  if (!s.step()) GX_THROW(GX_EXC_NO_SUCH_ITEM, "item " + std::to_string(id) + " does not exist (any more)");
  if (!s.isNull(1) && !equalsNoCase(s.text(1), ds.user))
    GX_THROW(GX_EXC_CHECKED_OUT, "item " + std::to_string(id) + " is checked out by " + s.text(1));
  if (version > 0 && s.i64(0) != version)
    GX_THROW(GX_EXC_STALE_ITEM, "item " + std::to_string(id) + " was changed by another connection (version " +
                                    std::to_string(s.i64(0)) + ", read " + std::to_string(version) + ")");
}

void requireNotPart(const GxDDOImpl* i, const char* op) {
  if (i->isPart)
    GX_THROW(GX_EXC_CONTENT, std::string(op) + ": a content part is stored with the item that holds it");
}

}  // namespace

void GxDDO::retrieve(long /*option*/) {
  faultPoint(GxFaultOp::kRetrieve);
  GxDatastoreDVXImpl& ds = connectedDs(impl_);
  requireNotPart(impl_, "retrieve");
  syncWithTransactions(*impl_);
  if (!impl_->stored) GX_THROW(GX_EXC_NOT_STORED, "retrieve: item is not stored yet");
  GxDDO* fresh = loadItem(impl_->ds, impl_->id, impl_->type->isRoot());
  // Keep the transaction snapshot: a rollback must still restore this object.
  GxDDOImpl* f = ddoImpl(fresh);
  f->snapSerial = impl_->snapSerial;
  f->snapId = impl_->snapId;
  f->snapVersion = impl_->snapVersion;
  f->snapStored = impl_->snapStored;
  std::swap(impl_, fresh->impl_);
  delete fresh;
  (void)ds;
}

void GxDDO::add() {
  faultPoint(GxFaultOp::kAdd);
  GxDatastoreDVXImpl& ds = connectedDs(impl_);
  requireNotPart(impl_, "add");
  syncWithTransactions(*impl_);
  if (impl_->stored) GX_THROW(GX_EXC_BAD_ARGUMENT, "add: item " + std::to_string(impl_->id) + " is already stored");
  if (!impl_->type->isRoot())
    GX_THROW(GX_EXC_BAD_ARGUMENT, "add: a child item is stored with its parent (append it to the component)");
  checkNonNull(impl_);
  std::vector<std::vector<GxDDO*>> children;
  for (size_t slot = 0; slot < impl_->comps.size(); ++slot) children.push_back(childrenOf(impl_, slot));
  std::vector<GxLobDVX*> parts = partsOf(impl_);

  WriteScope w(ds.db, ds.inTxn);
  Pending pending;
  int64_t id = insertRow(ds, impl_, 0, 0);
  pending.entries.push_back({impl_, id, 1, true});
  int64_t seq = 0;
  for (auto& list : children)
    for (GxDDO* c : list) pending.entries.push_back({ddoImpl(c), insertRow(ds, ddoImpl(c), id, ++seq), 1, true});
  writeParts(ds, parts, id);
  w.commit();
  pending.apply();
}

void GxDDO::update() {
  faultPoint(GxFaultOp::kUpdate);
  GxDatastoreDVXImpl& ds = connectedDs(impl_);
  requireNotPart(impl_, "update");
  syncWithTransactions(*impl_);
  if (!impl_->stored) GX_THROW(GX_EXC_NOT_STORED, "update: item is not stored yet (use add)");
  checkNonNull(impl_);
  const bool withContent = impl_->type->isRoot() && impl_->contentLoaded;
  std::vector<std::vector<GxDDO*>> children;
  std::vector<GxLobDVX*> parts;
  if (withContent) {
    for (size_t slot = 0; slot < impl_->comps.size(); ++slot) children.push_back(childrenOf(impl_, slot));
    parts = partsOf(impl_);
  }

  WriteScope w(ds.db, ds.inTxn);
  Pending pending;
  checkWritable(ds, impl_->id, impl_->version);
  Stmt bump(ds.db, "UPDATE items SET version = version + 1 WHERE id = ?");
  bump.bind(1, impl_->id).run();
  writeValues(ds, impl_, impl_->id);
  pending.entries.push_back({impl_, impl_->id, impl_->version + 1, true});
  if (withContent) {
    std::set<int64_t> existing;
    Stmt q(ds.db, "SELECT id FROM items WHERE parent_id = ?");
    q.bind(1, impl_->id);
    while (q.step()) existing.insert(q.i64(0));
    std::set<int64_t> kept;
    Stmt upd(ds.db, "UPDATE items SET seq = ?, version = version + 1 WHERE id = ?");
    int64_t seq = 0;
    for (auto& list : children) {
      for (GxDDO* c : list) {
        GxDDOImpl* ci = ddoImpl(c);
        ++seq;
        if (ci->stored && existing.count(ci->id) && !kept.count(ci->id)) {
          upd.reset();
          upd.bind(1, seq).bind(2, ci->id).run();
          writeValues(ds, ci, ci->id);
          kept.insert(ci->id);
          pending.entries.push_back({ci, ci->id, ci->version + 1, true});
        } else {
          pending.entries.push_back({ci, insertRow(ds, ci, impl_->id, seq), 1, true});
        }
      }
    }
    Stmt del(ds.db, "DELETE FROM items WHERE id = ?");
    for (int64_t old : existing)
      if (!kept.count(old)) {
        del.reset();
        del.bind(1, old).run();
      }
    writeParts(ds, parts, impl_->id);
  }
  w.commit();
  pending.apply();
}

void GxDDO::del() {
  faultPoint(GxFaultOp::kDel);
  GxDatastoreDVXImpl& ds = connectedDs(impl_);
  requireNotPart(impl_, "del");
  syncWithTransactions(*impl_);
  if (!impl_->stored) GX_THROW(GX_EXC_NOT_STORED, "del: item is not stored");
  WriteScope w(ds.db, ds.inTxn);
  checkWritable(ds, impl_->id, 0);
  Stmt del(ds.db, "DELETE FROM items WHERE id = ?");
  del.bind(1, impl_->id).run();
  w.commit();
  Pending pending;
  pending.entries.push_back({impl_, 0, 0, false});
  for (gxCollection* c : impl_->comps)
    for (long k = 0; k < c->count(); ++k) {
      GxAny a = c->elementAt(k);
      GxDDO* child = a.kind() == GxAny::kObject ? dynamic_cast<GxDDO*>(a.asObject()) : nullptr;
      if (child) pending.entries.push_back({ddoImpl(child), 0, 0, false});
    }
  pending.apply();
}

// ---- GxLobDVX ---------------------------------------------------------------

GxLobDVX::GxLobDVX() { ddoImpl(this)->isPart = true; }
GxLobDVX::GxLobDVX(const GxLobDVX& other) : GxDDO(other) {}
GxLobDVX& GxLobDVX::operator=(const GxLobDVX& other) {
  GxDDO::operator=(other);
  return *this;
}
GxLobDVX::~GxLobDVX() {}
GxDDO* GxLobDVX::clone() const { return new GxLobDVX(*this); }

void GxLobDVX::setMimeType(const GxString& mimeType) { ddoImpl(this)->mime = mimeType.str(); }
GxString GxLobDVX::getMimeType() const { return GxString(ddoImpl(this)->mime); }
void GxLobDVX::setPartNumber(long partNumber) { ddoImpl(this)->partNumber = partNumber; }
long GxLobDVX::getPartNumber() const { return ddoImpl(this)->partNumber; }

void GxLobDVX::setContentFromFile(const GxString& fileName) {
  faultPoint(GxFaultOp::kSetContentFromFile);
  std::ifstream in(fileName.str(), std::ios::binary);
  if (!in) GX_THROW(GX_EXC_CONTENT, "cannot read content file '" + fileName.str() + "': " + std::strerror(errno));
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) GX_THROW(GX_EXC_CONTENT, "error reading content file '" + fileName.str() + "'");
  ddoImpl(this)->content.swap(data);
}

void GxLobDVX::setContent(const char* data, unsigned long size) {
  if (!data && size) GX_THROW(GX_EXC_BAD_ARGUMENT, "setContent: null data");
  ddoImpl(this)->content.assign(data ? data : "", size);
}

unsigned long GxLobDVX::getContentSize() const { return ddoImpl(this)->content.size(); }
const char* GxLobDVX::getContent() const { return ddoImpl(this)->content.data(); }

void GxLobDVX::writeContentToFile(const GxString& fileName) const {
  int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) GX_THROW(GX_EXC_CONTENT, "cannot write '" + fileName.str() + "': " + std::strerror(errno));
  const char* p = ddoImpl(this)->content.data();
  size_t left = ddoImpl(this)->content.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      GX_THROW(GX_EXC_CONTENT, "cannot write '" + fileName.str() + "': " + std::strerror(err));
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::close(fd) != 0) GX_THROW(GX_EXC_CONTENT, "cannot write '" + fileName.str() + "': " + std::strerror(errno));
}
