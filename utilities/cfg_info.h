#pragma once
// Internal helper of the configuration record, visible to the unit tests.
#include "QELUtilities.h"

// A new, unstored "QELconfig" root item keyed "SystemConfig" with one
// "QELvalue" child per member of `info` in the stored order. The caller owns
// and deletes it. Null on a connector failure (dumped to the trace).
GxDDO* CreateTaVNcfgDDO(GxDatastoreDVX* datastore, const TaVNcfgInfo_t& info);
