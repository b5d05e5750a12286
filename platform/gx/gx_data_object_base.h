#pragma once
// gxDataObjectBase: the root of every object the connector hands out inside a
// GxAny or a collection (items, definitions). Objects are deleted by their
// owner through this virtual destructor; see gxCollection for ownership.
#include "platform/gx/gx_export.h"
#include "platform/gx/gx_string.h"

class gxCollection;

class GXBASE_EXPORT gxDataObjectBase {
 public:
  gxDataObjectBase();
  gxDataObjectBase(const gxDataObjectBase&);  // the copy belongs to no collection
  gxDataObjectBase& operator=(const gxDataObjectBase&);  // keeps this object's owner
  virtual ~gxDataObjectBase();  // leaves the owning collection, if any

  // The collection that owns this object, or null.
  gxCollection* owner() const;

 private:
  friend class gxCollection;
  gxCollection* owner_;
};

// gxEntityDef: a named definition (item type, server, group, MIME type).
class GXBASE_EXPORT gxEntityDef : public gxDataObjectBase {
 public:
  explicit gxEntityDef(const GxString& name);
  ~gxEntityDef() override;
  virtual GxString getName() const;

 private:
  GxString name_;
};
