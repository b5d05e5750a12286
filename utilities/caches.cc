#include "caches.h"

#include "QELUtilities.h"

namespace {
void releaseAttrPair(void* object) { delete static_cast<TaVNattrPair*>(object); }
void releaseCfgInfo(void* object) { delete static_cast<TaVNcfgInfo_t*>(object); }

// Static objects: constructed when the library is loaded, before any export
// can run, and destroyed when it is unloaded.
TaVNcache g_cacheTaVNattrPair("CacheTaVNattrPair", releaseAttrPair, 20);
TaVNcache g_cacheTaVNcfgInfo("CacheTaVNcfgInfo", releaseCfgInfo, 3);

// Connector log objects every deliverable that links the connector holds.
GxLogMessageInserts g_logInserts1;
GxLogMessageInserts g_logInserts2;
}  // namespace

TaVNcache& attrPairCache() { return g_cacheTaVNattrPair; }
TaVNcache& cfgInfoCache() { return g_cacheTaVNcfgInfo; }
