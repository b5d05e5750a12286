#pragma once
// gxCollection: an ordered list of GxAny values, with an iterator.
//
// Ownership: a collection owns every data object (gxDataObjectBase) placed in
// it and deletes those still alive when it is deleted. A caller may delete an
// element object itself earlier (as listing callers do after reading it): the
// object then leaves the collection and its slot holds a null value; the
// count does not change. Text and integer values are copied in.
// Threading: a collection, its iterators and its objects belong to one thread.
#include <vector>

#include "platform/gx/gx_any.h"
#include "platform/gx/gx_export.h"

class gxIterator;
class gxDataObjectBase;

class GXBASE_EXPORT gxCollection {
 public:
  gxCollection();
  virtual ~gxCollection();
  gxCollection(const gxCollection&) = delete;
  gxCollection& operator=(const gxCollection&) = delete;

  long count() const;  // element count
  // REQUIRES: 0 <= index < count(); otherwise throws GxException (GX_EXC_BAD_ARGUMENT).
  GxAny elementAt(long index) const;

  // Appends a value. An object value passes into the collection's ownership.
  // Throws GxException (GX_EXC_BAD_ARGUMENT) for an object that already
  // belongs to a collection (this one or another); nothing is added then.
  void addElement(const GxAny& value);

  // Deletes all owned objects and empties the list.
  void removeAll();

  // Hands the object at `index` over to the caller, who then owns it; its
  // slot becomes null. Null for a slot that holds no object.
  // REQUIRES: 0 <= index < count(); otherwise throws GX_EXC_BAD_ARGUMENT.
  gxDataObjectBase* detach(long index);

  // A new iterator at the first element, owned by the caller.
  // REQUIRES: the collection outlives the iterator.
  gxIterator* createIterator() const;

 private:
  friend class gxDataObjectBase;
  void release(gxDataObjectBase* o);  // an element object is being deleted
  std::vector<GxAny> items_;
};

class GXBASE_EXPORT gxIterator {
 public:
  explicit gxIterator(const gxCollection* c);
  virtual ~gxIterator();
  bool more() const;  // true while next() has an element to give
  // The current element, then advances. Past the end throws GxException
  // (GX_EXC_BAD_ARGUMENT).
  GxAny next();
  void reset();

 private:
  const gxCollection* c_;
  long pos_;
};
