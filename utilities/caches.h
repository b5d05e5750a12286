#pragma once
// The two process-wide caches of the library, built at load, destroyed at
// unload. Internal to QELUtilities.
#include "platform/gx/gx_string.h"
#include "tavn_cache.h"

// What "CacheTaVNattrPair" holds per (server name, item type name).
struct TaVNattrPair {
  GxString recordAttr;
  GxString recordIdAttr;
};

// Capacity 20; objects are TaVNattrPair.
TaVNcache& attrPairCache();
// Capacity 3; key the upper-cased server name; objects are TaVNcfgInfo_t.
TaVNcache& cfgInfoCache();
