#pragma once
// Umbrella header of libgxdvx: the datastore, items, content parts,
// definitions and administration objects of the embedded store.
#include "platform/gx/gx_admin_dvx.h"
#include "platform/gx/gx_datastore_dvx.h"
#include "platform/gx/gx_ddo.h"
#include "platform/gx/gx_defs_dvx.h"
#include "platform/gx/gxbase.h"
