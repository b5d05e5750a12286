#pragma once
// GxNVPair: a name and a GxAny value. Query options are passed as an array of
// pairs whose last one is named "End".
#include "platform/gx/gx_any.h"
#include "platform/gx/gx_export.h"
#include "platform/gx/gx_string.h"

class GXBASE_EXPORT GxNVPair {
 public:
  GxNVPair();  // empty name, null value; usable in arrays
  GxNVPair(const GxString& name, const GxAny& value);
  ~GxNVPair();

  void setName(const GxString& name);
  void setValue(const GxAny& value);
  const GxString& getName() const;
  const GxAny& getValue() const;

 private:
  GxString name_;
  GxAny value_;
};
