#include "platform/gx/gx_defs_dvx.h"

GxServerDefDVX::GxServerDefDVX(const GxString& name, const GxString& path) : gxEntityDef(name), path_(path) {}
GxServerDefDVX::~GxServerDefDVX() {}
GxString GxServerDefDVX::getPath() const { return path_; }

GxItemTypeDefDVX::GxItemTypeDefDVX(const GxString& name, short classification)
    : gxEntityDef(name), classification_(classification) {}
GxItemTypeDefDVX::~GxItemTypeDefDVX() {}
short GxItemTypeDefDVX::getClassification() const { return classification_; }

GxGroupDefDVX::GxGroupDefDVX(const GxString& name) : gxEntityDef(name) {}
GxGroupDefDVX::~GxGroupDefDVX() {}

GxMimeTypeDefDVX::GxMimeTypeDefDVX(const GxString& mimeType, const GxString& suffixes)
    : gxEntityDef(mimeType), suffixes_(suffixes) {}
GxMimeTypeDefDVX::~GxMimeTypeDefDVX() {}
GxString GxMimeTypeDefDVX::getMimeType() const { return getName(); }
GxString GxMimeTypeDefDVX::getSuffixes() const { return suffixes_; }
