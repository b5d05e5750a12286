#pragma once
// Definitions handed out by listings: servers, item types, groups, MIME
// types. Each is a gxEntityDef (getName); listings return them in a
// gxCollection that owns them (see gx_collection.h).
#include "platform/gx/gx_data_object_base.h"
#include "platform/gx/gx_export.h"
#include "platform/gx/gx_string.h"

// A server of the servers file.
class GXDVX_EXPORT GxServerDefDVX : public gxEntityDef {
 public:
  GxServerDefDVX(const GxString& name, const GxString& path);
  ~GxServerDefDVX() override;
  GxString getPath() const;  // absolute path of its SQLite file

 private:
  GxString path_;
};

// Item type classification values.
enum GxClassificationDVX : short {
  GX_CLASS_ITEM = 1,      // plain item
  GX_CLASS_DOCUMENT = 2,  // document: may carry content parts for filing
};

// An item type (root item type; child components are listed by name).
class GXDVX_EXPORT GxItemTypeDefDVX : public gxEntityDef {
 public:
  GxItemTypeDefDVX(const GxString& name, short classification);
  ~GxItemTypeDefDVX() override;
  short getClassification() const;  // GxClassificationDVX

 private:
  short classification_;
};

// A user group.
class GXDVX_EXPORT GxGroupDefDVX : public gxEntityDef {
 public:
  explicit GxGroupDefDVX(const GxString& name);
  ~GxGroupDefDVX() override;
};

// A MIME type with its suffix list, one text such as "doc,dot" (no dots,
// separated by commas, letter case as defined). getName() is the MIME type.
class GXDVX_EXPORT GxMimeTypeDefDVX : public gxEntityDef {
 public:
  GxMimeTypeDefDVX(const GxString& mimeType, const GxString& suffixes);
  ~GxMimeTypeDefDVX() override;
  GxString getMimeType() const;
  GxString getSuffixes() const;

 private:
  GxString suffixes_;
};
