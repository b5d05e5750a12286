#pragma once
// GxDDO: an item (data object) of an item type, in memory, bound to the
// datastore that created it. Data items are numbered from 1 to dataCount():
// first the item type's attributes in definition order, then one data item
// per child component (its value is the gxCollection of child items), then
// "GxParts" (its value is the gxCollection of content parts, GxLobDVX).
// Child items have only their component's attributes.
//
// Ownership: the item owns its component and parts collections (and,
// through them, child items and parts). A GxAny read from such a data item
// points into the item: do not delete that collection.
// Threading: one thread at a time, as its datastore.
// Failure: throws GxException; a failed server operation leaves the server
// and the item's stored state unchanged.
#include "platform/gx/gx_any.h"
#include "platform/gx/gx_data_object_base.h"
#include "platform/gx/gx_export.h"
#include "platform/gx/gx_string.h"

class GxDatastoreDVX;
struct GxDDOImpl;

// Values of the "type" data property.
enum GxDataTypeDVX : long {
  GX_DATA_ATTRIBUTE = 1,  // plain attribute (text or integer)
  GX_DATA_COMPONENT = 2,  // child component: collection of child items
  GX_DATA_PARTS = 3,      // "GxParts": collection of content parts
};

class GXDVX_EXPORT GxDDO : public gxDataObjectBase {
 public:
  // An unbound item: every operation but assignment and destruction throws
  // GX_EXC_BAD_ARGUMENT. Exists so that arrays of items can be allocated.
  GxDDO();
  // Deep copy: values, child items and parts are copied; the copy refers to
  // the same stored item (same identifier) and the same datastore.
  GxDDO(const GxDDO& other);
  GxDDO& operator=(const GxDDO& other);
  ~GxDDO() override;

  // The item type name ("object type"); for a child item its component name.
  GxString getObjectType() const;

  unsigned short dataCount() const;
  // REQUIRES: 1 <= data <= dataCount(); otherwise throws 4.
  GxString getDataName(unsigned short data) const;
  // Data id (= number) of a data item by name, 0 when the name is unknown.
  unsigned short dataId(const GxString& name) const;
  // The same within a namespace: "ATTR" finds plain attributes only (0 for
  // a component, "GxParts" or an unknown name); "" behaves as dataId(name);
  // any other namespace gives 0.
  unsigned short dataId(const GxString& nameSpace, const GxString& name) const;

  // The value of a data item: text or integer for attributes (null when not
  // set), the item's own collection for components and "GxParts".
  // Throws 4 for an id out of range.
  GxAny getData(unsigned short id) const;
  bool isNull(unsigned short id) const;
  // Sets an attribute in memory (stored by add/update). A text value for an
  // integer attribute must be decimal; an integer for a text attribute is
  // stored as its decimal text. A null GxAny sets null.
  // For a component or "GxParts", the value must be a collection: the item's
  // own collection leaves things as they are; another collection's objects
  // move into the item's collection, replacing its contents (the collection
  // passed stays with the caller, empty).
  // Throws 4 (id), 7 (text longer than the attribute's maximum length in
  // bytes, not an integer, wrong kind), 20 (null for a non-nullable
  // attribute). A failed set changes nothing.
  void setData(unsigned short id, const GxAny& value);
  void setNull(unsigned short id);

  // Item properties, numbered from 1: "ItemType", "ItemId", "PID",
  // "Version", "CheckedOutBy", "Classification".
  unsigned short propertyCount() const;
  GxString getPropertyName(unsigned short property) const;
  GxAny getProperty(unsigned short property) const;

  // Data properties of data item `data`, numbered from 1: "type"
  // (GxDataTypeDVX, integer); attributes also have "valueType" ("STRING" or
  // "INTEGER"), "length" (maximum length, integer; 0 = none) and "nullable"
  // (1 or 0). Throw 4 for numbers out of range.
  unsigned short dataPropertyCount(unsigned short data) const;
  GxString getDataPropertyName(unsigned short data, unsigned short property) const;
  GxAny getDataProperty(unsigned short data, unsigned short property) const;

  // Persistent identifier "PID:<server>:<item type>:<item id>" and its item
  // id text (decimal); for a child item the item type part is
  // "<root type>/<component>". Throw 22 for an item not yet stored.
  GxString getPidString() const;
  GxString getItemId() const;
  bool isStored() const;

  // The datastore the item belongs to (not owned; null for an unbound item).
  GxDatastoreDVX* getDatastore() const;

  // Reloads attributes, child items and parts from the server, discarding
  // changes in memory; collections read from this item before are deleted
  // (read them again). The option is accepted and ignored. Throws 9 when the
  // item no longer exists, 22 when it was never stored.
  void retrieve(long option = 0);
  // Stores a new item with its child items and parts, in one transaction
  // (or inside the datastore's open one). Throws 4 when the item is already
  // stored or is a child item (children are stored with their parent).
  void add();
  // Stores the attributes, child items and parts in memory over the stored
  // item. Throws 12 when another user has the item checked out, 18 when the
  // stored item changed since this object read it, 9 when it is gone.
  void update();
  // Deletes the stored item with its child items and parts. Throws 12 when
  // another user has it checked out, 9 when it is gone. Afterwards the
  // object is "not stored" again (add would store it anew).
  void del();

 protected:
  virtual GxDDO* clone() const;

 private:
  friend class GxDatastoreDVX;
  friend struct GxDDOImpl;
  friend struct GxDatastoreDVXImpl;
  GxDDOImpl* impl_;
};

// GxLobDVX: a content part (item type "DVXBASE"), stored in the database as
// part of the item whose "GxParts" collection holds it. It has no
// attributes of its own; add/update/del/retrieve on a part throw 15.
class GXDVX_EXPORT GxLobDVX : public GxDDO {
 public:
  GxLobDVX();
  GxLobDVX(const GxLobDVX& other);
  GxLobDVX& operator=(const GxLobDVX& other);
  ~GxLobDVX() override;

  void setMimeType(const GxString& mimeType);
  GxString getMimeType() const;
  void setPartNumber(long partNumber);
  long getPartNumber() const;

  // Content interface. setContentFromFile reads the whole file now; throws
  // 15 (content unchanged) when it cannot be read.
  void setContentFromFile(const GxString& fileName);
  void setContent(const char* data, unsigned long size);
  unsigned long getContentSize() const;
  // The bytes; valid until the content changes or the part dies.
  const char* getContent() const;
  // Writes the content to a file (created or truncated, mode 0600). Throws 15.
  void writeContentToFile(const GxString& fileName) const;

 protected:
  GxDDO* clone() const override;
};
