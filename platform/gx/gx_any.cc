#include "platform/gx/gx_any.h"

#include <ostream>

#include "platform/gx/gx_collection.h"
#include "platform/gx/gx_data_object_base.h"
#include "platform/gx/internal/gx_throw.h"

GxAny::GxAny() : kind_(kNull), n_(0), p_(nullptr), s_(nullptr) {}
GxAny::GxAny(const GxString& s) : kind_(kString), n_(0), p_(nullptr), s_(new GxString(s)) {}
GxAny::GxAny(const char* s)
    : kind_(s ? kString : kNull), n_(0), p_(nullptr), s_(s ? new GxString(s) : nullptr) {}
GxAny::GxAny(int n) : kind_(kLong), n_(n), p_(nullptr), s_(nullptr) {}
GxAny::GxAny(long n) : kind_(kLong), n_(n), p_(nullptr), s_(nullptr) {}
GxAny::GxAny(gxCollection* c) : kind_(c ? kCollection : kNull), n_(0), p_(c), s_(nullptr) {}
GxAny::GxAny(gxDataObjectBase* o) : kind_(o ? kObject : kNull), n_(0), p_(o), s_(nullptr) {}
GxAny::GxAny(const GxAny& o)
    : kind_(o.kind_), n_(o.n_), p_(o.p_), s_(o.s_ ? new GxString(*o.s_) : nullptr) {}
GxAny& GxAny::operator=(const GxAny& o) {
  if (this == &o) return *this;
  GxString* s = o.s_ ? new GxString(*o.s_) : nullptr;
  delete s_;
  s_ = s;
  kind_ = o.kind_;
  n_ = o.n_;
  p_ = o.p_;
  return *this;
}
GxAny::~GxAny() { delete s_; }

bool GxAny::isNull() const { return kind_ == kNull; }
GxAny::Kind GxAny::kind() const { return kind_; }
void* GxAny::value() const {
  if (kind_ == kCollection) return p_;
  // Objects travel as gxDataObjectBase*; callers cast the void* back to it.
  if (kind_ == kObject) return static_cast<void*>(static_cast<gxDataObjectBase*>(p_));
  return nullptr;
}

GxString GxAny::asString() const {
  switch (kind_) {
    case kNull: return GxString();
    case kString: return *s_;
    case kLong: return GxString(n_);
    default: GX_THROW(GX_EXC_BAD_VALUE, "GxAny: a collection or object has no text value");
  }
}
long GxAny::asLong() const {
  switch (kind_) {
    case kNull: return 0;
    case kString: return s_->asInt();
    case kLong: return n_;
    default: GX_THROW(GX_EXC_BAD_VALUE, "GxAny: a collection or object has no integer value");
  }
}
gxCollection* GxAny::asCollection() const {
  if (kind_ == kNull) return nullptr;
  if (kind_ != kCollection) GX_THROW(GX_EXC_BAD_VALUE, "GxAny: value is not a collection");
  return static_cast<gxCollection*>(p_);
}
gxDataObjectBase* GxAny::asObject() const {
  if (kind_ == kNull) return nullptr;
  if (kind_ != kObject) GX_THROW(GX_EXC_BAD_VALUE, "GxAny: value is not an object");
  return static_cast<gxDataObjectBase*>(p_);
}
GxAny::operator GxString() const { return asString(); }
GxAny::operator long() const { return asLong(); }
GxAny::operator gxCollection*() const { return asCollection(); }
GxAny::operator gxDataObjectBase*() const { return asObject(); }
GxAny::operator void*() const { return value(); }

std::ostream& operator<<(std::ostream& os, const GxAny& a) {
  switch (a.kind()) {
    case GxAny::kNull: return os << "(null)";
    case GxAny::kString: return os << a.asString();
    case GxAny::kLong: return os << a.asLong();
    case GxAny::kCollection: return os << "(collection of " << a.asCollection()->count() << ")";
    case GxAny::kObject: return os << "(object)";
  }
  return os;
}
