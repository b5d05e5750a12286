#include "platform/gx/gx_collection.h"

#include "platform/gx/gx_data_object_base.h"
#include "platform/gx/internal/fault_point.h"
#include "platform/gx/internal/gx_throw.h"

gxCollection::gxCollection() {}
gxCollection::~gxCollection() { removeAll(); }

long gxCollection::count() const { return static_cast<long>(items_.size()); }

GxAny gxCollection::elementAt(long index) const {
  if (index < 0 || index >= count())
    GX_THROW(GX_EXC_BAD_ARGUMENT, "gxCollection: element " + std::to_string(index) +
                                      " out of range (count " + std::to_string(count()) + ")");
  return items_[static_cast<size_t>(index)];
}

void gxCollection::addElement(const GxAny& value) {
  if (value.kind() == GxAny::kObject) {
    gxDataObjectBase* o = value.asObject();
    if (o->owner_) GX_THROW(GX_EXC_BAD_ARGUMENT, "gxCollection: object already belongs to a collection");
    items_.push_back(value);
    o->owner_ = this;
    return;
  }
  items_.push_back(value);
}

void gxCollection::removeAll() {
  // Detach first so that each destructor does not call back into release().
  std::vector<GxAny> items;
  items.swap(items_);
  for (GxAny& a : items) {
    if (a.kind() != GxAny::kObject) continue;
    gxDataObjectBase* o = a.asObject();
    o->owner_ = nullptr;
    delete o;
  }
}

gxDataObjectBase* gxCollection::detach(long index) {
  GxAny a = elementAt(index);
  if (a.kind() != GxAny::kObject) return nullptr;
  gxDataObjectBase* o = a.asObject();
  o->owner_ = nullptr;
  items_[static_cast<size_t>(index)] = GxAny();
  return o;
}

void gxCollection::release(gxDataObjectBase* o) {
  for (GxAny& a : items_)
    if (a.kind() == GxAny::kObject && a.asObject() == o) a = GxAny();
}

gxIterator* gxCollection::createIterator() const { return new gxIterator(this); }

gxIterator::gxIterator(const gxCollection* c) : c_(c), pos_(0) {}
gxIterator::~gxIterator() {}
bool gxIterator::more() const { return c_ && pos_ < c_->count(); }
GxAny gxIterator::next() {
  gx_internal::faultPoint(GxFaultOp::kIteratorNext);
  if (!more()) GX_THROW(GX_EXC_BAD_ARGUMENT, "gxIterator: no more elements");
  return c_->elementAt(pos_++);
}
void gxIterator::reset() { pos_ = 0; }

gxDataObjectBase::gxDataObjectBase() : owner_(nullptr) {}
gxDataObjectBase::gxDataObjectBase(const gxDataObjectBase&) : owner_(nullptr) {}
gxDataObjectBase& gxDataObjectBase::operator=(const gxDataObjectBase&) { return *this; }
gxDataObjectBase::~gxDataObjectBase() {
  if (owner_) owner_->release(this);
}
gxCollection* gxDataObjectBase::owner() const { return owner_; }

gxEntityDef::gxEntityDef(const GxString& name) : name_(name) {}
gxEntityDef::~gxEntityDef() {}
GxString gxEntityDef::getName() const { return name_; }
